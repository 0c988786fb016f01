#include "platform/posix/error_text.h"

#include <cerrno>

namespace quorel::posix {

std::string ErrorText(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "keine Berechtigung";
    case ENOENT:
      return "Datei oder Ordner nicht vorhanden";
    case ENOTDIR:
      return "ein Teil des Pfads ist kein Ordner";
    case EISDIR:
      return "es ist ein Ordner, keine Datei";
    case ENOSPC:
      return "der Datenträger ist voll";
    case EDQUOT:
      return "das Speicherkontingent ist erschöpft";
    case EROFS:
      return "der Datenträger ist schreibgeschützt";
    case EIO:
      return "Ein-/Ausgabefehler des Datenträgers";
    case ELOOP:
      return "zu viele symbolische Verknüpfungen im Pfad";
    case ENAMETOOLONG:
      return "der Name ist zu lang";
    case EMFILE:
      return "das Programm hat zu viele Dateien geöffnet";
    case ENFILE:
      return "im System sind zu viele Dateien geöffnet";
    case ENOMEM:
      return "nicht genügend Arbeitsspeicher";
    case ETXTBSY:
      return "die Programmdatei ist gerade zum Schreiben geöffnet";
    case ENOEXEC:
      return "die Datei ist kein ausführbares Programm";
    case E2BIG:
      return "Argumente und Umgebung sind zu lang";
    case EBUSY:
      return "die Datei oder das Gerät ist belegt";
    case EEXIST:
      return "die Datei ist schon vorhanden";
    case EFBIG:
      return "die Datei ist zu groß";
    case EXDEV:
      return "Datei und Ziel liegen auf verschiedenen Dateisystemen";
    case EAGAIN:
      return "vorübergehend nicht möglich";
    case EINTR:
      return "durch ein Signal unterbrochen";
    case EINVAL:
      return "ungültiges Argument";
    case ENXIO:
    case ENODEV:
      return "das Gerät ist nicht vorhanden";
    case ESTALE:
      return "die Datei auf dem Netzlaufwerk ist nicht mehr gültig";
    case ETIMEDOUT:
      return "Zeitüberschreitung";
    case EOVERFLOW:
      return "die Datei ist für das Programm zu groß";
    case ENOTSUP:
      return "der Vorgang wird vom Dateisystem nicht unterstützt";
    default:
      return "Systemfehler Nr. " + std::to_string(error);
  }
}

}  // namespace quorel::posix
