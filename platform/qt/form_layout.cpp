// Building a form's menu bar and controls from its layout table: their widgets, tab order and
// accessible names, and the window type and frame hints of the form.
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <algorithm>
#include <stdexcept>

#include "platform/desktop/accessible_names.h"
#include "platform/qt/artwork.h"
#include "platform/qt/backend_common.h"
#include "platform/qt/qt_backend.h"
#include "platform/qt/widgets.h"

namespace quorel::qt {

using namespace Qt::Literals::StringLiterals;
using platform::ControlDescription;
using platform::ControlKind;
using platform::FormDescription;
using platform::desktop::BackendEvents;
using platform::desktop::WindowId;

namespace {

QRect PxRect(const ControlDescription& c) {
  return QRect(Px(c.left), Px(c.top), Px(c.width), Px(c.height));
}

}  // namespace

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
        button->setDefault(c.isDefault);
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
        widget = picture;
        break;
      }
      case ControlKind::Line:
        widget = new LineWidget(c, client);
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

  // Accessible names, and each text field's label as its buddy.
  const auto designText = [](const ControlDescription& c) { return c.text; };
  for (auto& ctl : w.controls) {
    const ControlDescription& c = *ctl.description;
    ctl.widget->setAccessibleName(Q(platform::desktop::AccessibleName(*w.form, c, designText)));
    if (c.kind != ControlKind::TextBox) continue;
    if (const ControlDescription* label = platform::desktop::LabelOf(*w.form, c))
      static_cast<QLabel*>(Widget(w, label->name))->setBuddy(ctl.widget);
  }
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

}  // namespace quorel::qt
