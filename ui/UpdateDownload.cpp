// The update's download and its checks, in the order that keeps untrusted bytes away from
// every parser until they are known to be whole and, with a key, signed.
#include "ui/UpdateDownload.h"

#include <cctype>
#include <new>
#include <optional>

#include "engine/FileReplace.h"
#include "engine/PeImage.h"
#include "net/AnsiText.h"

namespace velmora {
namespace {

constexpr int kStatusOk = 200;

TUpdateDownloadResult Refused(std::wstring reason) {
  return {false, std::move(reason)};
}

// The answer's Content-Length, when it sent a well-formed one.
std::optional<uint64_t> DeclaredLength(const std::vector<std::string>& headers) {
  constexpr std::string_view kName = "content-length:";
  for (const std::string& line : headers) {
    if (line.size() < kName.size())
      continue;
    bool match = true;
    for (size_t i = 0; i < kName.size() && match; ++i)
      match = std::tolower(static_cast<unsigned char>(line[i])) == kName[i];
    if (!match)
      continue;
    std::string value = line.substr(kName.size());
    size_t first = value.find_first_not_of(" \t");
    size_t last = value.find_last_not_of(" \t");
    if (first == std::string::npos || last - first + 1 > 18)
      return std::nullopt;
    uint64_t length = 0;
    for (size_t i = first; i <= last; ++i) {
      if (value[i] < '0' || value[i] > '9')
        return std::nullopt;
      length = length * 10 + static_cast<uint64_t>(value[i] - '0');
    }
    return length;
  }
  return std::nullopt;
}

// What the GET of the file brought: its status, its declared length and the bytes written.
std::optional<std::wstring> TransferProblem(const THTTPSend& http, const std::string& body) {
  if (http.ResultCode != 0 && http.ResultCode != kStatusOk)
    return L"файл обновления не найден на сервере (ответ " + std::to_wstring(http.ResultCode) +
           L")";
  std::optional<uint64_t> declared = DeclaredLength(http.Headers);
  if (http.ResultCode == kStatusOk && body.empty() && declared == 0u)
    return std::wstring(L"сервер прислал пустой файл");
  if (body.empty() || (declared && *declared != body.size()))
    return std::wstring(L"файл обновления загружен не полностью");
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
    result = Refused(LoadError(http::FromAnsi(error.what()), L"Exception"));
  }
  if (!result.Accepted)
    RemoveFile(target);
  return result;
}

std::wstring VersionText(const TExeVersion& version) {
  return std::to_wstring(version.Major) + L"." + std::to_wstring(version.Minor) + L"." +
         std::to_wstring(version.Release) + L"." + std::to_wstring(version.Build);
}

}  // namespace velmora
