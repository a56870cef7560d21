#include "link/LinkError.h"

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

LinkError::LinkError(LinkFailure failure, int osError)
    : AppError(
          QStringLiteral("%1 (win error code: %2)").arg(linkFailureText(failure)).arg(osError)),
      failure_(failure),
      osError_(osError) {}

}  // namespace orvel
