#include "platform/qt/qt_backend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QUrl>
#include <QValidator>
#include <algorithm>
#include <optional>
#include <stdexcept>

#include "platform/desktop.h"

namespace quorel::qt {

using namespace Qt::Literals::StringLiterals;
using platform::ControlDescription;
using platform::ControlKind;
using platform::FormDescription;
using platform::desktop::BackendEvents;
using platform::desktop::Key;
using platform::desktop::kNoWindow;
using platform::desktop::WindowId;

namespace {

// The window a watched widget belongs to, as a dynamic property.
constexpr const char* kWindowProperty = "quorelWindow";
// A link's shown text without its markup.
constexpr const char* kLinkTextProperty = "quorelLinkText";
constexpr char16_t kCapsLockHint[] = u"Feststelltaste ist aktiviert";

QString Q(std::u16string_view s) {
  return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

std::u16string U(const QString& s) {
  return s.toStdU16String();
}

int Px(int twips) {
  return twips / platform::kTwipsPerPixel;
}

QRect PxRect(const ControlDescription& c) {
  return QRect(Px(c.left), Px(c.top), Px(c.width), Px(c.height));
}

QString WithoutAccessMarks(QString text) {
  // "&&" stands for a literal ampersand; a single "&" marks the access letter.
  text.replace(u"&&"_s, QChar(0xE000));
  text.remove(u'&');
  text.replace(QChar(0xE000), u'&');
  return text;
}

// A window title as Qt's title bar shows it: Qt takes "[*]" for the place of its modified mark
// and removes it, but shows "[*][*]" as one "[*]".
QString Title(std::u16string_view caption) {
  return Q(caption).replace(u"[*]"_s, u"[*][*]"_s);
}

QString PicturePath(std::u16string_view name) {
  const QString path = u":/quorel/"_s + Q(name) + u".png"_s;
  if (!QFile::exists(path))
    throw std::logic_error("Bild fehlt in den Programmressourcen: " +
                           QString(Q(name)).toStdString());
  return path;
}

QPixmap Picture(std::u16string_view name) {
  return QPixmap(PicturePath(name));
}

// An icon is read from its file only when it is first drawn, which for most is after the
// window is on the screen.
QIcon Icon(std::u16string_view name) {
  return QIcon(PicturePath(name));
}

// What a picture shows, for screen readers.
QString PictureDescription(std::u16string_view name) {
  if (name == u"about_icon") return u"Programmsymbol"_s;
  if (name == u"about_banner") return u"MIRLOX Software"_s;
  return u"Zierbild"_s;
}

QColor ToQColor(const platform::Rgb& c) {
  return QColor(c.red, c.green, c.blue);
}

// The layouts were made for a narrow sans serif of about eight points; the desktop's own face
// at seven points takes the same room. Staying with its family spares the start-up a second
// font lookup.
QFont FormFont() {
  QFont font(QApplication::font());
  font.setPointSizeF(7.0);
  return font;
}

// Shows a fixed character for each character of a password field.
class MaskStyle final : public QProxyStyle {
 public:
  explicit MaskStyle(char16_t mask) : mask_(mask) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return mask_;
    if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }

 private:
  char16_t mask_;
};

// Limits what the keyboard (typing, pasting, dropping) enters to a number of characters; a
// longer text set by the program stays whole and may still be shortened by the user. Pasted
// text that does not fit is cut at its end.
class LengthLimit final : public QValidator {
 public:
  LengthLimit(int maxLength, QLineEdit* edit) : QValidator(edit), max_(maxLength) {
    last_ = edit->text();
    QObject::connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { last_ = t; });
  }
  // The program sets a text of any length; the limit then counts from that text.
  void SetByProgram(const QString& text) { last_ = text; }
  State validate(QString& input, int& pos) const override {
    const qsizetype allowed = std::max<qsizetype>(max_, last_.size());
    if (input.size() <= allowed) return Acceptable;
    const qsizetype excess = input.size() - allowed;
    if (pos >= excess) {
      QString cut = input;
      cut.remove(pos - excess, excess);
      if (cut != last_) {
        input = cut;
        pos -= static_cast<int>(excess);
        return Acceptable;
      }
    }
    return Invalid;
  }

 private:
  int max_;
  QString last_;
};

// A line from one point to another, drawn in its colour and width (pixels).
class LineWidget final : public QWidget {
 public:
  LineWidget(const ControlDescription& c, QWidget* parent) : QWidget(parent) {
    const QPoint a(Px(c.left), Px(c.top)), b(Px(c.width), Px(c.height));
    width_ = std::max(1, c.lineWidth);
    color_ = c.foreColor ? ToQColor(*c.foreColor) : QColor(Qt::black);
    const QRect box = QRect(a, b).normalized().adjusted(0, 0, width_, width_);
    setGeometry(box);
    a_ = a - box.topLeft();
    b_ = b - box.topLeft();
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(QPen(color_, 1));
    // A wide line grows down (horizontal) or right (otherwise) from its end points.
    const bool horizontal = std::abs(b_.x() - a_.x()) >= std::abs(b_.y() - a_.y());
    for (int i = 0; i < width_; ++i) {
      const QPoint step = horizontal ? QPoint(0, i) : QPoint(i, 0);
      painter.drawLine(a_ + step, b_ + step);
    }
  }

 private:
  QPoint a_, b_;
  QColor color_;
  int width_ = 1;
};

// A link that the keyboard reaches as one stop of the focus order: it shows the focus with a
// focus frame, and Space opens its target as a click does.
class LinkLabel final : public QLabel {
 public:
  using QLabel::QLabel;
  QString target;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    // Around the link's text, which starts at the left.
    const int textWidth = fontMetrics().horizontalAdvance(property(kLinkTextProperty).toString());
    painter.drawRect(
        QRect(0, 0, std::min(width(), textWidth + 4), height()).adjusted(0, 0, -1, -1));
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
      QDesktopServices::openUrl(QUrl(target));
      return;
    }
    QLabel::keyPressEvent(event);
  }
};

QString LinkMarkup(std::u16string_view text, std::u16string_view target, bool underline) {
  return u"<a href=\"%1\"%2>%3</a>"_s.arg(
      Q(target).toHtmlEscaped(), underline ? QString() : u" style=\"text-decoration:none\""_s,
      Q(text).toHtmlEscaped());
}

// Brings a window to the front where the platform can (Qt's offscreen platform cannot).
void Raise(QWidget* top) {
  static const bool canRaise = QGuiApplication::platformName() != u"offscreen"_s;
  if (canRaise) top->raise();
}

WindowId WindowOfObject(const QObject* object) {
  const QVariant v = object->property(kWindowProperty);
  return v.isValid() ? v.toInt() : kNoWindow;
}

}  // namespace

// Watches our windows and controls: Enter, Escape and F1, the close box, activation, focus
// leaving a control, and the Caps Lock hint of password fields.
class QtBackend::Filter final : public QObject {
 public:
  explicit Filter(QtBackend& backend) : backend_(backend) {}

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    const WindowId window = WindowOfObject(object);
    if (window == kNoWindow) return false;
    switch (event->type()) {
      case QEvent::KeyPress:
        return KeyPress(window, object, static_cast<QKeyEvent*>(event));
      case QEvent::Close:
        if (object->isWidgetType() && static_cast<QWidget*>(object)->isWindow()) {
          event->ignore();
          backend_.Post([window](BackendEvents& e) { e.CloseRequested(window); });
          return true;
        }
        return false;
      case QEvent::WindowActivate:
        if (object->isWidgetType() && static_cast<QWidget*>(object)->isWindow())
          backend_.Activated(window);
        return false;
      case QEvent::WindowStateChange:
        if (object->isWidgetType() && static_cast<QWidget*>(object)->isMinimized())
          backend_.Minimized(window);
        return false;
      case QEvent::FocusOut:
        FocusOut(window, object, static_cast<QFocusEvent*>(event));
        return false;
      default:
        return false;
    }
  }

 private:
  bool KeyPress(WindowId window, QObject* object, QKeyEvent* event) {
    std::optional<Key> key;
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        key = Key::Enter;
        break;
      case Qt::Key_Escape:
        key = Key::Escape;
        break;
      case Qt::Key_F1:
        key = Key::F1;
        break;
      default:
        break;
    }
    if (key) {
      backend_.Post([window, k = *key](BackendEvents& e) { e.KeyPressed(window, k); });
      return true;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(object);
        edit && edit->echoMode() != QLineEdit::Normal)
      CapsLockHint(edit, event);
    return false;
  }

  // A letter whose case contradicts the Shift key shows that Caps Lock is on; a letter that
  // agrees with it shows that it is off.
  static void CapsLockHint(QLineEdit* edit, const QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() != 1 || !text[0].isLetter() || text[0].isUpper() == text[0].isLower()) return;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool capsLock = text[0].isUpper() != shift;
    if (capsLock) {
      edit->setToolTip(Q(kCapsLockHint));
      QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), Q(kCapsLockHint), edit);
    } else if (!edit->toolTip().isEmpty()) {
      edit->setToolTip(QString());
      QToolTip::hideText();
    }
  }

  void FocusOut(WindowId window, QObject* object, const QFocusEvent* event) {
    if (!object->isWidgetType() || static_cast<QWidget*>(object)->isWindow()) return;
    // Focus belongs to each window: switching windows or opening a menu does not move it.
    switch (event->reason()) {
      case Qt::ActiveWindowFocusReason:
      case Qt::PopupFocusReason:
      case Qt::MenuBarFocusReason:
        return;
      default:
        break;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(object); edit && !edit->toolTip().isEmpty())
      QToolTip::hideText();
    const std::u16string control = U(object->objectName());
    backend_.Post([window, control](BackendEvents& e) { e.FocusLost(window, control); });
  }

  QtBackend& backend_;
};

QtBackend::QtBackend() {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    throw std::runtime_error("Die Fensteroberfläche ist nicht gestartet (keine QApplication)");
  filter_ = std::make_unique<Filter>(*this);
  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  QApplication::setQuitOnLastWindowClosed(false);
  if (QApplication::windowIcon().isNull()) QApplication::setWindowIcon(Icon(u"quorel"));
}

QtBackend::~QtBackend() {
  for (auto& [key, timer] : timers_)
    delete timer.release();
  if (pointerOverridden_) QGuiApplication::restoreOverrideCursor();
  // Owned windows are Qt children of their owner: take them out first, then delete each once.
  for (auto& [id, w] : windows_) {
    if (w.top && w.top->parentWidget()) w.top->setParent(nullptr);
  }
  for (auto& [id, w] : windows_)
    delete w.top.data();
  windows_.clear();
}

QtBackend::Window* QtBackend::Find(WindowId window) {
  auto it = windows_.find(window);
  return it == windows_.end() || !it->second.top ? nullptr : &it->second;
}

const QtBackend::Window* QtBackend::Find(WindowId window) const {
  return const_cast<QtBackend*>(this)->Find(window);
}

QtBackend::Window& QtBackend::At(WindowId window) {
  Window* w = Find(window);
  if (!w) throw std::logic_error("Fenster existiert nicht: #" + std::to_string(window));
  return *w;
}

const QtBackend::Window& QtBackend::At(WindowId window) const {
  return const_cast<QtBackend*>(this)->At(window);
}

WindowId QtBackend::IdOf(std::u16string_view form) const {
  for (const auto& [id, w] : windows_)
    if (w.form->name == form && w.top) return id;
  return kNoWindow;
}

QWidget* QtBackend::Widget(const Window& w, std::u16string_view control) const {
  for (const auto& c : w.controls)
    if (c.description->name == control && c.widget) return c.widget;
  return nullptr;
}

QWidget* QtBackend::TopLevel(std::u16string_view form) const {
  const Window* w = Find(IdOf(form));
  return w ? w->top.data() : nullptr;
}

QWidget* QtBackend::ClientArea(std::u16string_view form) const {
  const Window* w = Find(IdOf(form));
  return w ? w->client.data() : nullptr;
}

QWidget* QtBackend::ControlWidget(std::u16string_view form, std::u16string_view control) const {
  const Window* w = Find(IdOf(form));
  return w ? Widget(*w, control) : nullptr;
}

void QtBackend::Post(std::function<void(BackendEvents&)> report) {
  QMetaObject::invokeMethod(
      this,
      [this, report = std::move(report)] {
        if (events_) report(*events_);
      },
      Qt::QueuedConnection);
}

void QtBackend::Minimized(WindowId window) {
  const Window* w = Find(window);
  if (!w || !w->modal) return;
  // The program waits for a modal window and nothing else takes input meanwhile: it stays in
  // reach, whatever minimised it (the user, the window manager, a task bar or a script).
  QMetaObject::invokeMethod(
      this,
      [this, window] {
        Window* shown = Find(window);
        if (!shown || !shown->modal || !shown->top->isMinimized()) return;
        shown->top->setWindowState(shown->top->windowState() & ~Qt::WindowMinimized);
        shown->top->show();
        Raise(shown->top);
        shown->top->activateWindow();
      },
      Qt::QueuedConnection);
}

void QtBackend::Activated(WindowId window) {
  Post([window](BackendEvents& e) { e.Activated(window); });
  // A window without any control that can take the focus takes it itself.
  const Window* w = Find(window);
  if (!w) return;
  const bool anyFocusable = std::any_of(w->controls.begin(), w->controls.end(), [](const auto& c) {
    return TakesFocus(*c.description) && c.widget && c.widget->isEnabled();
  });
  if (!anyFocusable) Post([window](BackendEvents& e) { e.FormFocused(window); });
}

Qt::WindowFlags QtBackend::FlagsFor(const Window& w, bool owned) const {
  const FormDescription& f = *w.form;
  Qt::WindowFlags flags;
  // An owned dialog stays off the task bar as a transient window of its owner; one without
  // owner does as a tool window, unless it can be minimised: a minimised window needs its
  // task-bar entry to be found again.
  const bool minimisable = f.frame == platform::FrameKind::Sizable && f.minButton;
  if (f.showInTaskbar || (!owned && minimisable))
    flags = Qt::Window;
  else
    flags = owned ? Qt::Dialog : Qt::Tool;
  flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint;
  if (f.frame == platform::FrameKind::Sizable) {
    if (f.minButton) flags |= Qt::WindowMinimizeButtonHint;
    if (f.maxButton) flags |= Qt::WindowMaximizeButtonHint;
  }
  return flags;
}

WindowId QtBackend::CreateWindow(const FormDescription& form) {
  const WindowId id = nextId_++;
  Window w;
  w.form = std::make_unique<FormDescription>(form);
  auto* top = new QMainWindow(nullptr, FlagsFor(w, false));
  top->setObjectName(Q(form.name));
  top->setProperty(kWindowProperty, id);
  top->setWindowTitle(Title(form.caption));
  if (!form.icon.empty()) top->setWindowIcon(Icon(form.icon));
  auto* client = new QWidget(top);
  client->setFont(FormFont());  // the menu bar and message boxes keep the desktop's font
  client->setObjectName(u"client"_s);
  client->setProperty(kWindowProperty, id);
  top->setCentralWidget(client);
  w.top = top;
  w.client = client;
  top->installEventFilter(filter_.get());
  client->installEventFilter(filter_.get());
  BuildMenus(w, id);
  BuildControls(w);
  for (auto& c : w.controls) {
    c.widget->setProperty(kWindowProperty, id);
    c.widget->installEventFilter(filter_.get());
  }

  // The client area has exactly the designed size; the menu bar comes on top of it.
  const QSize clientSize(Px(form.clientWidth), Px(form.clientHeight));
  const int menuHeight = form.menus.empty() ? 0 : top->menuBar()->sizeHint().height();
  const QSize size(clientSize.width(), clientSize.height() + menuHeight);
  if (form.frame == platform::FrameKind::FixedDialog)
    top->setFixedSize(size);
  else
    top->resize(size);
  windows_.emplace(id, std::move(w));
  return id;
}

void QtBackend::BuildMenus(Window& w, WindowId id) {
  const auto& menus = w.form->menus;
  if (menus.empty()) return;
  auto* top = static_cast<QMainWindow*>(w.top.data());
  QMenuBar* bar = top->menuBar();
  std::map<std::u16string, QMenu*, std::less<>> submenus;
  auto hasChildren = [&](const std::u16string& name) {
    return std::any_of(menus.begin(), menus.end(), [&](const auto& m) { return m.parent == name; });
  };
  for (const auto& m : menus) {
    QMenu* parent = nullptr;
    if (!m.parent.empty()) {
      auto it = submenus.find(m.parent);
      if (it == submenus.end())
        throw std::logic_error("Menü vor seinem Obermenü: " + QString(Q(m.name)).toStdString());
      parent = it->second;
    }
    if (m.caption == u"-") {
      if (parent) parent->addSeparator();
      continue;
    }
    if (!parent || hasChildren(m.name)) {
      QMenu* menu = parent ? parent->addMenu(Q(m.caption)) : bar->addMenu(Q(m.caption));
      menu->setObjectName(Q(m.name));
      menu->menuAction()->setObjectName(Q(m.name));
      submenus.emplace(m.name, menu);
      continue;
    }
    QAction* action = parent->addAction(Q(m.caption));
    action->setObjectName(Q(m.name));
    if (!m.shortcut.empty()) {
      action->setShortcut(QKeySequence(Q(m.shortcut)));
      action->setShortcutContext(Qt::WindowShortcut);
    }
    QObject::connect(action, &QAction::triggered, this, [this, id, item = m.name] {
      Post([id, item](BackendEvents& e) { e.MenuChosen(id, item); });
    });
  }
}

QStyle* QtBackend::PasswordStyle(char16_t mask) {
  auto& style = passwordStyles_[mask];
  if (!style) style = std::make_unique<MaskStyle>(mask);
  return style.get();
}

void QtBackend::BuildControls(Window& w) {
  QWidget* client = w.client;
  const WindowId id = static_cast<WindowId>(w.top->property(kWindowProperty).toInt());
  for (const auto& c : w.form->controls) {
    QWidget* widget = nullptr;
    switch (c.kind) {
      case ControlKind::TextBox: {
        auto* edit = new QLineEdit(client);
        edit->setText(Q(c.text));
        if (c.passwordChar) {
          edit->setEchoMode(QLineEdit::Password);
          edit->setStyle(PasswordStyle(c.passwordChar));
        }
        if (c.maxLength > 0) edit->setValidator(new LengthLimit(c.maxLength, edit));
        if (c.buttonFaceBackground) {
          // In every state: locked or open, in the active window or another.
          QPalette palette = edit->palette();
          palette.setColor(QPalette::Base, palette.color(QPalette::Active, QPalette::Button));
          edit->setPalette(palette);
        }
        widget = edit;
        break;
      }
      case ControlKind::Label: {
        auto* label = new QLabel(client);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(!c.autoSize);
        label->setText(Q(c.text));
        if (c.foreColor) {
          QPalette palette = label->palette();
          palette.setColor(QPalette::WindowText, ToQColor(*c.foreColor));
          label->setPalette(palette);
        }
        widget = label;
        break;
      }
      case ControlKind::PushButton:
      case ControlKind::CommandButton: {
        auto* button = new QPushButton(Q(c.text), client);
        button->setAutoDefault(false);
        if (!c.picture.empty()) {
          button->setIcon(Icon(c.picture));
          button->setIconSize(QSize(16, 16));
        }
        QObject::connect(button, &QPushButton::clicked, this, [this, id, name = c.name] {
          Post([id, name](BackendEvents& e) { e.Clicked(id, name); });
        });
        widget = button;
        break;
      }
      case ControlKind::PictureBox:
      case ControlKind::Image: {
        auto* picture = new QLabel(client);
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (!c.picture.empty()) picture->setPixmap(Picture(c.picture));
        picture->setScaledContents(c.stretch);
        picture->setAccessibleName(PictureDescription(c.picture));
        widget = picture;
        break;
      }
      case ControlKind::Line:
        widget = new LineWidget(c, client);
        widget->setAccessibleName(u"Trennlinie"_s);
        break;
      case ControlKind::HyperLink: {
        auto* link = new LinkLabel(client);
        link->target = Q(c.target);
        link->setTextFormat(Qt::RichText);
        link->setOpenExternalLinks(true);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        if (c.buttonFaceBackground) {
          QPalette palette = link->palette();
          palette.setColor(QPalette::Window, palette.color(QPalette::Button));
          link->setPalette(palette);
          link->setAutoFillBackground(true);
        }
        widget = link;
        break;
      }
      case ControlKind::Timer:
        continue;
    }
    widget->setObjectName(Q(c.name));
    if (c.kind != ControlKind::Line) widget->setGeometry(PxRect(c));
    widget->setEnabled(c.enabled);
    widget->setFocusPolicy(TakesFocus(c) ? Qt::StrongFocus : Qt::NoFocus);
    w.controls.push_back({&c, widget});
  }

  // Texts that need the finished widget: links, auto-sized labels and pictures.
  for (auto& ctl : w.controls) {
    const ControlDescription& c = *ctl.description;
    if (c.kind == ControlKind::HyperLink) {
      auto* link = static_cast<QLabel*>(ctl.widget.data());
      link->setProperty(kLinkTextProperty, Q(c.text));
      link->setText(LinkMarkup(c.text, c.target, c.underline));
      link->setAccessibleName(Q(c.text));
    } else if (c.kind == ControlKind::Label && c.autoSize) {
      ctl.widget->adjustSize();
    } else if (c.kind == ControlKind::Image && !c.stretch) {
      // An image that is not stretched takes the size of its picture.
      ctl.widget->resize(static_cast<QLabel*>(ctl.widget.data())->pixmap().size());
    }
  }

  // Keyboard order by tab index.
  std::vector<QWidget*> order;
  std::vector<const Control*> focusable;
  for (const auto& ctl : w.controls)
    if (TakesFocus(*ctl.description)) focusable.push_back(&ctl);
  std::stable_sort(focusable.begin(), focusable.end(), [](const Control* a, const Control* b) {
    return a->description->tabIndex < b->description->tabIndex;
  });
  for (std::size_t i = 1; i < focusable.size(); ++i)
    QWidget::setTabOrder(focusable[i - 1]->widget, focusable[i]->widget);

  // Accessible names: a button by its caption, a text field by the label left of it on its row.
  for (auto& ctl : w.controls) {
    const ControlDescription& c = *ctl.description;
    if (IsButton(c) || c.kind == ControlKind::Label) {
      ctl.widget->setAccessibleName(WithoutAccessMarks(Q(c.text)));
    } else if (c.kind == ControlKind::TextBox) {
      const Control* best = nullptr;
      for (const auto& other : w.controls) {
        const ControlDescription& l = *other.description;
        const bool sameRow = l.top < c.top + c.height && c.top < l.top + l.height;
        if (l.kind != ControlKind::Label || !sameRow || l.left >= c.left) continue;
        if (!best || l.left > best->description->left) best = &other;
      }
      if (best) {
        ctl.widget->setAccessibleName(WithoutAccessMarks(Q(best->description->text)));
        static_cast<QLabel*>(best->widget.data())->setBuddy(ctl.widget);
      } else {
        ctl.widget->setAccessibleName(Q(c.name));
      }
    }
  }
}

void QtBackend::Reparent(Window& w, QWidget* owner) {
  const Qt::WindowFlags flags = FlagsFor(w, owner != nullptr);
  if (w.top->parentWidget() == owner && w.top->windowFlags() == flags) return;
  const QRect geometry = w.top->geometry();
  w.top->setParent(owner, flags);
  w.top->setGeometry(geometry);
}

void QtBackend::Place(Window& w) {
  QWidget* top = w.top;
  const FormDescription& f = *w.form;
  QScreen* screen = top->screen() ? top->screen() : QGuiApplication::primaryScreen();
  if (f.position == platform::StartPosition::Manual) {
    // The stored position is that of the client area.
    const QPoint client(Px(f.left), Px(f.top));
    top->setGeometry(QRect(client - w.client->pos(), top->size()));
  } else if (f.position == platform::StartPosition::CenterOwner) {
    const Window* owner = Find(w.owner);
    const bool overOwner = owner && owner->top->isVisible();
    if (overOwner) screen = owner->top->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QRect reference = overOwner ? owner->top->frameGeometry() : area;
    const QSize frame = top->frameGeometry().size();
    QPoint pos = reference.center() - QPoint(frame.width() / 2, frame.height() / 2);
    pos.setX(std::clamp(pos.x(), area.left(), std::max(area.left(), area.right() - frame.width())));
    pos.setY(std::clamp(pos.y(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
    top->move(pos);
  }
}

void QtBackend::Stack(WindowId window) {
  std::erase(zOrder_, window);
  zOrder_.push_back(window);
}

void QtBackend::ActivateFront() {
  for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it) {
    if (Window* w = Find(*it); w && w->top->isVisible()) {
      Raise(w->top);
      w->top->activateWindow();
      return;
    }
  }
}

void QtBackend::DestroyWindow(WindowId window) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  Window w = std::move(it->second);
  windows_.erase(it);
  std::erase_if(timers_, [&](const auto& t) { return t.first.first == window; });
  std::erase(zOrder_, window);
  if (!w.top) return;
  // Windows it owns live on without it; Qt must not delete them with their parent.
  for (auto& [id, other] : windows_) {
    if (other.owner != window) continue;
    other.owner = kNoWindow;
    if (other.top && other.top->parentWidget() == w.top) {
      const bool visible = other.top->isVisible();
      Reparent(other, nullptr);
      if (visible) other.top->show();
    }
  }
  const bool wasActive = w.top->isActiveWindow();
  w.top->setProperty(kWindowProperty, QVariant());
  w.top->hide();
  // It may be in the middle of one of its own events; Qt deletes it once that is done.
  w.top->deleteLater();
  if (wasActive) ActivateFront();
}

void QtBackend::ShowWindow(WindowId window, WindowId owner, bool modal) {
  Window& w = At(window);
  const Window* ownerWindow = owner == window ? nullptr : Find(owner);
  if (w.top->isVisible()) w.top->hide();  // parent and modality change only while hidden
  w.owner = ownerWindow ? owner : kNoWindow;
  w.modal = modal;
  Reparent(w, ownerWindow ? ownerWindow->top.data() : nullptr);
  w.top->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  if (!w.top->focusWidget()) {
    // The first control in tab order that can take the focus gets it.
    const Control* first = nullptr;
    for (const auto& c : w.controls) {
      if (TakesFocus(*c.description) && c.widget->isEnabled() &&
          (!first || c.description->tabIndex < first->description->tabIndex))
        first = &c;
    }
    if (first) first->widget->setFocus(Qt::OtherFocusReason);
  }
  Place(w);
  w.top->show();
  Stack(window);
  w.top->activateWindow();
}

void QtBackend::RaiseWindow(WindowId window) {
  Window& w = At(window);
  Stack(window);
  Raise(w.top);
  w.top->activateWindow();
}

void QtBackend::HideWindow(WindowId window) {
  Window& w = At(window);
  const bool wasActive = w.top->isActiveWindow();
  w.top->hide();
  w.top->setWindowModality(Qt::NonModal);
  w.modal = false;
  std::erase(zOrder_, window);
  if (wasActive || !QApplication::activeWindow()) ActivateFront();
}

void QtBackend::SetCaption(WindowId window, std::u16string_view caption) {
  At(window).top->setWindowTitle(Title(caption));
}

std::u16string QtBackend::ControlText(WindowId window, std::u16string_view control) const {
  const Window& w = At(window);
  QWidget* widget = Widget(w, control);
  if (!widget) return {};
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return U(edit->text());
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return U(button->text());
  if (QVariant link = widget->property(kLinkTextProperty); link.isValid())
    return U(link.toString());
  if (auto* label = qobject_cast<QLabel*>(widget)) return U(label->text());
  return {};
}

void QtBackend::SetControlText(WindowId window, std::u16string_view control,
                               std::u16string_view text) {
  Window& w = At(window);
  QWidget* widget = Widget(w, control);
  if (!widget) return;
  const ControlDescription* c = w.form->Control(control);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    if (auto* limit = dynamic_cast<LengthLimit*>(const_cast<QValidator*>(edit->validator())))
      limit->SetByProgram(Q(text));
    edit->setText(Q(text));
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(Q(text));
    button->setAccessibleName(WithoutAccessMarks(Q(text)));
  } else if (widget->property(kLinkTextProperty).isValid()) {
    auto* link = static_cast<QLabel*>(widget);
    link->setProperty(kLinkTextProperty, Q(text));
    link->setText(LinkMarkup(text, c->target, c->underline));
    link->setAccessibleName(Q(text));
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(Q(text));
    if (c && c->kind == ControlKind::Label) label->setAccessibleName(Q(text));
    if (c && c->autoSize) label->adjustSize();
  }
}

void QtBackend::SetControlEnabled(WindowId window, std::u16string_view control, bool on) {
  if (QWidget* widget = Widget(At(window), control)) widget->setEnabled(on);
}

void QtBackend::SetFocus(WindowId window, std::u16string_view control) {
  Window& w = At(window);
  QWidget* widget = Widget(w, control);
  if (!widget) return;
  const std::u16string previous = FocusedControl(window);
  widget->setFocus(Qt::OtherFocusReason);
  // In a window that is not active Qt moves the focus silently; the control still lost it.
  if (!w.top->isActiveWindow() && !previous.empty() && previous != control)
    Post([window, previous](BackendEvents& e) { e.FocusLost(window, previous); });
}

std::u16string QtBackend::FocusedControl(WindowId window) const {
  const Window& w = At(window);
  QWidget* focused = w.top->focusWidget();
  for (const auto& c : w.controls)
    if (c.widget && c.widget == focused) return c.description->name;
  return {};
}

void QtBackend::StartTimer(WindowId window, std::u16string_view timer, int intervalMs) {
  At(window);
  if (intervalMs <= 0) return;
  auto& slot = timers_[{window, std::u16string(timer)}];
  if (!slot) {
    slot.reset(new QTimer);
    QObject::connect(slot.get(), &QTimer::timeout, this,
                     [this, window, name = std::u16string(timer)] {
                       if (events_) events_->TimerFired(window, name);
                     });
  }
  slot->start(intervalMs);  // a running timer starts a new interval
}

void QtBackend::StopTimer(WindowId window, std::u16string_view timer) {
  timers_.erase({window, std::u16string(timer)});
}

int QtBackend::MessageBox(std::u16string_view prompt, int style, std::u16string_view title) {
  QWidget* parent = nullptr;
  for (auto it = zOrder_.rbegin(); it != zOrder_.rend() && !parent; ++it) {
    if (const Window* w = Find(*it); w && w->top->isVisible()) parent = w->top;
  }
  QString text = Q(prompt);
  text.replace(u"\r\n"_s, u"\n"_s);
  QPointer<QMessageBox> box = new QMessageBox(parent);
  box->setWindowTitle(Title(title));
  box->setTextFormat(Qt::PlainText);
  box->setText(text);
  switch (style & platform::kMsgBoxIcon) {
    case platform::vbCritical:
      box->setIcon(QMessageBox::Critical);
      break;
    case platform::vbQuestion:
      box->setIcon(QMessageBox::Question);
      break;
    case platform::vbExclamation:
      box->setIcon(QMessageBox::Warning);
      break;
    case platform::vbInformation:
      box->setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  const bool yesNo = (style & platform::kMsgBoxButtons) == platform::vbYesNo;
  QAbstractButton* yes = nullptr;
  QAbstractButton* no = nullptr;
  if (yesNo) {
    yes = box->addButton(u"Ja"_s, QMessageBox::YesRole);
    no = box->addButton(u"Nein"_s, QMessageBox::NoRole);
    box->setDefaultButton(static_cast<QPushButton*>(yes));
    box->setEscapeButton(no);  // Escape and the close box answer No
  } else {
    QAbstractButton* ok = box->addButton(u"OK"_s, QMessageBox::AcceptRole);
    box->setDefaultButton(static_cast<QPushButton*>(ok));
    box->setEscapeButton(ok);
  }
  box->setWindowModality(Qt::ApplicationModal);
  bool done = false;
  QObject::connect(box, &QMessageBox::finished, box, [&done] { done = true; });
  box->show();
  // The box's own wait: events go on meanwhile, as everywhere else.
  while (box && !done)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  int answer = yesNo ? platform::vbNo : platform::vbOK;
  if (box) {
    if (yesNo && box->clickedButton() == yes) answer = platform::vbYes;
    delete box.data();
  }
  // Where no window manager does it, the window in front gets the keyboard back.
  if (!QApplication::activeWindow()) ActivateFront();
  return answer;
}

void QtBackend::SetMousePointer(int shape) {
  if (shape == platform::vbDefault) {
    if (pointerOverridden_) QGuiApplication::restoreOverrideCursor();
    pointerOverridden_ = false;
    return;
  }
  const QCursor cursor(shape == platform::vbHourglass ? Qt::WaitCursor : Qt::ArrowCursor);
  if (pointerOverridden_)
    QGuiApplication::changeOverrideCursor(cursor);
  else
    QGuiApplication::setOverrideCursor(cursor);
  pointerOverridden_ = true;
}

void QtBackend::ProcessEvents(std::chrono::milliseconds maxWait) {
  if (maxWait.count() > 0) {
    // The timer only wakes the wait; with events pending the wait returns at once.
    wake_.start(
        static_cast<int>(std::min<std::chrono::milliseconds::rep>(maxWait.count(), 1'000'000'000)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    wake_.stop();
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtBackend::WaitForEvents(bool /*modal*/) {
  // Qt keeps the windows behind an application-modal window from taking input.
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace quorel::qt
