// No window messages off Windows.
#include "net/MessagePump.h"

namespace velmora::http {

void ProcessPendingMessages() {}

}  // namespace velmora::http
