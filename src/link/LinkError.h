#pragma once

#include "core/Dialogs.h"

namespace orvel {

// What failed on the serial link. The texts are fixed English texts, as fitters know them from
// the controller's documentation; each carries the operating system's error number.
enum class LinkFailure {
  Open,          // "Unable to open com port"
  SetupBuffers,  // "SetupComm function failed"
  LineSettings,  // "SetCommState function failed"
  Timeouts,      // "SetCommTimeouts failed"
  Write,         // "WriteFile function failed"
  Read,          // "ReadFile function failed"
  QueueStatus,   // "ClearCommError function failed"
  Purge,         // "PurgeComm function failed"
};

QString linkFailureText(LinkFailure failure);

// Said after an open that the system refused for want of permission: on Linux serial devices
// belong to the dialout group.
QString permissionHint();

class LinkError : public AppError {
 public:
  LinkError(LinkFailure failure, int osError);
  LinkFailure failure() const { return failure_; }
  int osError() const { return osError_; }

 private:
  LinkFailure failure_;
  int osError_;
};

}  // namespace orvel
