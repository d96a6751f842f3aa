// The UI driver's actions: what a user, the system or another program does to the program's
// window and controls (clicks, keys, the wheel, typed text, the system's messages), a click in
// another program's dialog, and a clipboard held as a busy program holds it. The handlers
// answer the act commands of the command table (CommandTable.cpp).
#pragma once

#include "tests/app/driver/Command.h"

namespace velmora::uidriver {

TResult ActClick(const TCall& call);
TResult ActClickAt(const TCall& call);
TResult ActKey(const TCall& call);
TResult ActWheel(const TCall& call);
TResult ActSetText(const TCall& call);
TResult ActChoose(const TCall& call);
TResult ActSelect(const TCall& call);
TResult ActHide(const TCall& call);
TResult ActClose(const TCall& call);
TResult ActShowRequest(const TCall& call);
TResult ActQueryEndSession(const TCall& call);
TResult ActEndSession(const TCall& call);
TResult ActResume(const TCall& call);
TResult ActTaskbarCreated(const TCall& call);
TResult ActTrayRemove(const TCall& call);
TResult ActDialogClick(const TCall& call);
TResult ActHoldClipboard(const TCall& call);

}  // namespace velmora::uidriver
