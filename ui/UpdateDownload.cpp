// The update's download and its checks, in the order that keeps untrusted bytes away from
// every parser until they are known to be whole and, with a key, signed.
#include "ui/UpdateDownload.h"

#include <new>
#include <optional>

#include "base/CodePage.h"
#include "engine/FileReplace.h"
#include "engine/PeImage.h"
#include "net/SizeQuery.h"

namespace velmora {
namespace {

constexpr int kStatusOk = 200;

TUpdateDownloadResult Refused(std::wstring reason) {
  return {false, std::move(reason)};
}

constexpr wchar_t kIncomplete[] = L"файл обновления загружен не полностью";

// What the GET of the file brought: its status, how its end was known and the bytes written.
// Only a 200 answer whose own framing (Content-Length or the chunked end) proves the body whole
// may go on: a body that merely stopped when the connection closed may be any part of the file.
std::optional<std::wstring> TransferProblem(const THTTPSend& http, const std::string& body) {
  // No status line at all (or no answer): nothing says the file is whole, or even that it is
  // the file.
  if (http.ResultCode == 0)
    return std::wstring(kIncomplete);
  if (http.ResultCode != kStatusOk)
    return L"файл обновления не найден на сервере (ответ " + std::to_wstring(http.ResultCode) +
           L")";
  const int64_t declared = http::ContentLengthValue(http.Headers);  // -1: none sent
  if (body.empty() && declared == 0)
    return std::wstring(L"сервер прислал пустой файл");
  if (body.empty() || !http.BodyLengthProven ||
      (declared >= 0 && static_cast<uint64_t>(declared) != body.size()))
    return std::wstring(kIncomplete);
  return std::nullopt;
}

std::optional<std::wstring> SignatureProblem(TSynDownload& download, const std::wstring& link,
                                             const std::string& body,
                                             const TUpdateSignatureCheck& check) {
  TMemoryStream signature;
  download.URLToStream(link + L".sig", signature);
  if (download.HTTP().ResultCode != kStatusOk || signature.Data().empty())
    return std::wstring(L"нет подписи файла обновления");
  if (!check.Verify(body, signature.Data()))
    return std::wstring(L"подпись файла обновления неверна");
  return std::nullopt;
}

std::optional<std::wstring> ProgramProblem(const std::string& body,
                                           const TUpdateRequirements& requirements) {
  std::optional<TPeImageInfo> image = ReadPeImage(body);
  if (!image && IsCutPeImage(body))
    return std::wstring(kIncomplete);
  if (!image)
    return std::wstring(L"загруженный файл не является программой");
  if (image->Machine != requirements.Machine)
    return std::wstring(L"загруженная программа собрана для другого процессора");
  if (!image->Version)
    return std::wstring(L"у загруженной программы нет сведений о версии");
  if (!IsNewerVersion(*image->Version, requirements.Running))
    return L"загруженная версия " + VersionText(*image->Version) + L" не новее установленной " +
           VersionText(requirements.Running);
  return std::nullopt;
}

TUpdateDownloadResult Check(TSynDownload& download, const std::wstring& link,
                            const std::wstring& target, const TUpdateRequirements& requirements) {
  download.URLToFile(link, target);
  std::string body;
  if (ReadWholeFile(target, body) != TReadResult::Read)
    return Refused(L"загруженный файл не удалось прочитать");
  if (std::optional<std::wstring> problem = TransferProblem(download.HTTP(), body))
    return Refused(*problem);
  if (requirements.Signature) {
    if (std::optional<std::wstring> problem =
            SignatureProblem(download, link, body, *requirements.Signature))
      return Refused(*problem);
  }
  if (std::optional<std::wstring> problem = ProgramProblem(body, requirements))
    return Refused(*problem);
  return {true, {}};
}

std::wstring LoadError(const std::wstring& message, const wchar_t* className) {
  return L"Ошибка во время выполнения загрузки: " + message + L" [" + className + L"]";
}

}  // namespace

TUpdateDownloadResult DownloadUpdate(TSynDownload& download, const std::wstring& link,
                                     const std::wstring& target,
                                     const TUpdateRequirements& requirements) {
  TUpdateDownloadResult result;
  try {
    result = Check(download, link, target, requirements);
  } catch (const EFCreateError& error) {
    return Refused(LoadError(error.Message(), L"EFCreateError"));
  } catch (const std::bad_alloc&) {
    result = Refused(LoadError(L"Out of memory", L"EOutOfMemory"));
  } catch (const std::exception& error) {
    result = Refused(LoadError(AnsiBytesToWide(error.what()), L"Exception"));
  }
  if (!result.Accepted)
    RemoveFile(target);
  return result;
}

}  // namespace velmora
