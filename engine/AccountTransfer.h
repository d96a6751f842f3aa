// The account query's HTTP transfer: the connector's ITextTransfer seam on a TSynDownload.
#pragma once

#include <memory>

#include "engine/ConnectorEnv.h"

namespace velmora {

// A transfer for the connector's account thread. It owns one TSynDownload for its whole life,
// so the open connection and the cookies carry over from one daily query to the next; Cancel
// (from any thread) ends a running exchange at once and fails every later one.
std::unique_ptr<ITextTransfer> MakeAccountTransfer();

}  // namespace velmora
