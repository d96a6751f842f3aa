// TSynDownload as the connector's ITextTransfer: the account query's GET and its cancellation.
#include "engine/AccountTransfer.h"

#include <exception>

#include "engine/AccountInfo.h"
#include "net/SynDownload.h"

namespace velmora {
namespace {

class TAccountTransfer final : public ITextTransfer {
 public:
  // A longer answer is no account answer: the exchange fails before it fills the memory.
  TAccountTransfer() { FSynDL.HTTP().MaxBodyBytes = kMaxAccountAnswerBytes; }

  std::wstring URLToString(const std::wstring& url) override {
    // The transfer reports failures as an empty text; running out of memory for a huge
    // answer is one more failed exchange, not a reason to end the account thread.
    try {
      return FSynDL.URLToString(url);
    } catch (const std::exception&) {
      return {};
    }
  }

  void Cancel() override { FSynDL.Cancel(); }

 private:
  TSynDownload FSynDL;
};

}  // namespace

std::unique_ptr<ITextTransfer> MakeAccountTransfer() {
  return std::make_unique<TAccountTransfer>();
}

}  // namespace velmora
