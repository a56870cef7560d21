#include "link/LinkError.h"

#include "core/Language.h"

#include <cerrno>

namespace orvel {

QString linkFailureText(LinkFailure failure) {
  switch (failure) {
    case LinkFailure::Open:
      return QStringLiteral("Unable to open com port");
    case LinkFailure::SetupBuffers:
      return QStringLiteral("SetupComm function failed");
    case LinkFailure::LineSettings:
      return QStringLiteral("SetCommState function failed");
    case LinkFailure::Timeouts:
      return QStringLiteral("SetCommTimeouts failed");
    case LinkFailure::Write:
      return QStringLiteral("WriteFile function failed");
    case LinkFailure::Read:
      return QStringLiteral("ReadFile function failed");
    case LinkFailure::QueueStatus:
      return QStringLiteral("ClearCommError function failed");
    case LinkFailure::Purge:
      return QStringLiteral("PurgeComm function failed");
  }
  return QString();
}

QString permissionHint() {
  return tr3(
      "Brak dostępu do portu: użytkownik musi należeć do grupy dialout "
      "(sudo usermod -aG dialout <użytkownik>, potem ponowne zalogowanie)",
      "No access to the port: the user must belong to the dialout group "
      "(sudo usermod -aG dialout <user>, then log in again)",
      "Accesso alla porta negato: l'utente deve appartenere al gruppo "
      "dialout (sudo usermod -aG dialout <utente>, poi un nuovo accesso)");
}

namespace {

QString linkErrorText(LinkFailure failure, int osError) {
  QString text =
      QStringLiteral("%1 (win error code: %2)").arg(linkFailureText(failure)).arg(osError);
  // The error box ends the text with a full stop; the hint goes on a line of its own after it.
  if (failure == LinkFailure::Open && osError == EACCES) {
    text += QStringLiteral(".\r\n") + permissionHint();
  }
  return text;
}

}  // namespace

LinkError::LinkError(LinkFailure failure, int osError)
    : AppError(linkErrorText(failure, osError)), failure_(failure), osError_(osError) {}

}  // namespace orvel
