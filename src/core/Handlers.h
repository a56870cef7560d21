#pragma once

#include "core/Dialogs.h"

#include <QObject>

namespace orvel {

// Connects a signal to an event handler that runs guarded: an error it raises is shown in the
// standard error box and ends only that handler. Handlers take no arguments; they read the
// state they need from their controls.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection onEvent(Sender* sender, Signal signal, const QObject* context,
                                Handler handler) {
  return QObject::connect(sender, signal, context, [handler] { guarded(handler); });
}

}  // namespace orvel
