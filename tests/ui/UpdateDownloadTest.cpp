// The update's download against a scripted server on loopback: what may replace the program
// (a complete 200 answer holding a newer executable for this processor, signed when the
// program carries a key) and what is refused, with the reason and the file deleted.
#include "ui/UpdateDownload.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/PeImage.h"
#include "tests/engine/fakes/FakePeImage.h"
#include "tests/net/LoopbackServer.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::HeadAnswer;
using test::OkAnswer;
using test::TAfterAnswer;
using test::TFakePeImage;
using test::TLoopbackServer;

// Stands in for the system's verifier: a "signature" is the data with a marker around it.
class TMarkerSignatureCheck : public TUpdateSignatureCheck {
 public:
  static std::string Sign(const std::string& data) { return "signed(" + data + ")"; }
  bool Verify(std::string_view data, std::string_view signature) const override {
    return signature == Sign(std::string(data));
  }
};

std::string Executable(uint16_t machine, uint16_t major, uint16_t build) {
  TFakePeImage fake;
  fake.Machine = machine;
  fake.Version[0] = major;
  fake.Version[3] = build;
  return fake.Bytes();
}

const std::string kNewer = Executable(kMachineI386, 1, 6);
const std::string kSignedNewer = [] {
  TFakePeImage fake;
  fake.Version[3] = 6;
  fake.Certificate = std::string("\x10\x00\x00\x00\x00\x02\x02\x00", 8) + "PKCS7 ..";  // 16 bytes
  return fake.Bytes();
}();
const std::string kHtml = "<html><body><h1>Обновление</h1></body></html>";

struct TDownloadFixture : ::testing::Test {
  TDownloadFixture() {
    dir = fs::temp_directory_path() / ("velmora-update-" + std::to_string(std::random_device()()));
    fs::create_directories(dir);
    target = dir / "Ostrada.exe_updated";
    requirements.Machine = kMachineI386;
    requirements.Running = MakeExeVersion(0x00010000, 5);  // 1.0.0.5
  }
  ~TDownloadFixture() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  // The HEAD of the size query, then the GET's answer.
  void Serve(const std::string& get, TAfterAnswer after = TAfterAnswer::KeepOpen) {
    server.Queue(HeadAnswer(1));
    server.Queue(get, after);
  }
  TUpdateDownloadResult Run() {
    return DownloadUpdate(download, server.WUrl(L"/download/Ostrada.exe"), target.wstring(),
                          requirements);
  }
  std::string Content() const {
    std::ifstream in(target, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir, target;
  TLoopbackServer server;
  TSynDownload download;
  TUpdateRequirements requirements;
  TMarkerSignatureCheck marker;
};

std::string Chunked(const std::string& body, bool withEnd) {
  std::string text = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (size_t at = 0; at < body.size(); at += 100) {
    std::string piece = body.substr(at, 100);
    char size[16];
    std::snprintf(size, sizeof size, "%zx", piece.size());
    text += std::string(size) + "\r\n" + piece + "\r\n";
  }
  return withEnd ? text + "0\r\n\r\n" : text;
}

std::string WithLength(const std::string& body, size_t length) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" + body;
}

TEST_F(TDownloadFixture, ANewerExecutableForThisProcessorIsKept) {
  const struct {
    const char* Name;
    std::string Answer;
    std::string Program;
  } kCases[] = {
      {"Content-Length", OkAnswer(kNewer), kNewer},
      {"chunked with its end", Chunked(kNewer, true), kNewer},
      {"signed: certificate table after the sections", OkAnswer(kSignedNewer), kSignedNewer},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    Serve(c.Answer);
    TUpdateDownloadResult result = Run();
    EXPECT_TRUE(result.Accepted) << std::string(result.Reason.begin(), result.Reason.end());
    EXPECT_EQ(Content(), c.Program);
  }
}

TEST_F(TDownloadFixture, OnlyAnAnswerThatProvesItsLengthCarriesAWholeProgram) {
  // Each would leave a file that may be any front part of the program; swapped in, it would
  // not start, and the old program would be gone.
  const std::string cut = kNewer.substr(0, kNewer.size() - 30);
  const std::string signedCut = kSignedNewer.substr(0, kSignedNewer.size() - 4);
  const struct {
    const char* Name;
    std::string Answer;
    TAfterAnswer After;
  } kCases[] = {
      {"no status line and no headers (status 0)", kNewer, TAfterAnswer::Close},
      {"200 without a length, ended by the close", "HTTP/1.1 200 OK\r\n\r\n" + kNewer,
       TAfterAnswer::Close},
      {"HTTP/1.0 200 without a length, ended by the close",
       "HTTP/1.0 200 OK\r\nConnection: close\r\n\r\n" + kNewer, TAfterAnswer::Close},
      {"Content-Length longer than the body", WithLength(kNewer, kNewer.size() + 100),
       TAfterAnswer::Close},
      {"Content-Length shorter than the body", WithLength(kNewer, kNewer.size() - 100),
       TAfterAnswer::Close},
      {"chunked without its end", Chunked(kNewer, false), TAfterAnswer::Close},
      {"executable cut inside its section", OkAnswer(cut), TAfterAnswer::KeepOpen},
      {"certificate table cut", OkAnswer(signedCut), TAfterAnswer::KeepOpen},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    Serve(c.Answer, c.After);
    TUpdateDownloadResult result = Run();
    EXPECT_FALSE(result.Accepted);
    EXPECT_EQ(result.Reason, L"файл обновления загружен не полностью");
    EXPECT_FALSE(fs::exists(target));
  }
}

TEST_F(TDownloadFixture, RefusesWhatCouldBreakOrNotUpdateTheProgram) {
  const struct {
    const char* Name;
    std::string Answer;
    TAfterAnswer After;
    std::wstring Reason;
  } kCases[] = {
      {"404 page", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nNot found",
       TAfterAnswer::KeepOpen, L"файл обновления не найден на сервере (ответ 404)"},
      {"redirect", "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n",
       TAfterAnswer::KeepOpen, L"файл обновления не найден на сервере (ответ 302)"},
      {"truncated body",
       "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kNewer.size()) + "\r\n\r\n" +
           kNewer.substr(0, kNewer.size() / 2),
       TAfterAnswer::Close, L"файл обновления загружен не полностью"},
      {"empty body", OkAnswer(""), TAfterAnswer::KeepOpen, L"сервер прислал пустой файл"},
      {"HTML with status 200", OkAnswer(kHtml), TAfterAnswer::KeepOpen,
       L"загруженный файл не является программой"},
      {"other processor", OkAnswer(Executable(kMachineAmd64, 1, 6)), TAfterAnswer::KeepOpen,
       L"загруженная программа собрана для другого процессора"},
      {"same version", OkAnswer(Executable(kMachineI386, 1, 5)), TAfterAnswer::KeepOpen,
       L"загруженная версия 1.0.0.5 не новее установленной 1.0.0.5"},
      {"older version", OkAnswer(Executable(kMachineI386, 0, 9)), TAfterAnswer::KeepOpen,
       L"загруженная версия 0.0.0.9 не новее установленной 1.0.0.5"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    Serve(c.Answer, c.After);
    TUpdateDownloadResult result = Run();
    EXPECT_FALSE(result.Accepted);
    EXPECT_EQ(result.Reason, c.Reason);
    EXPECT_FALSE(fs::exists(target));
  }
}

TEST_F(TDownloadFixture, AnUnreachableServerIsAnIncompleteDownload) {
  TUpdateDownloadResult result = DownloadUpdate(
      download, L"http://127.0.0.1:1/download/Ostrada.exe", target.wstring(), requirements);
  EXPECT_FALSE(result.Accepted);
  EXPECT_EQ(result.Reason, L"файл обновления загружен не полностью");
  EXPECT_FALSE(fs::exists(target));
}

TEST_F(TDownloadFixture, ATargetThatCannotBeCreatedGivesTheWrappedLoadError) {
  target = dir / "missing folder" / "Ostrada.exe_updated";
  TUpdateDownloadResult result = Run();
  EXPECT_FALSE(result.Accepted);
  EXPECT_EQ(result.Reason.rfind(L"Ошибка во время выполнения загрузки: Cannot create file", 0), 0u);
  EXPECT_EQ(result.Reason.substr(result.Reason.size() - 16), L" [EFCreateError]");
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(TDownloadFixture, WithAKeyOnlyASignatureOverTheseBytesIsAccepted) {
  requirements.Signature = &marker;
  const struct {
    const char* Name;
    std::string SignatureAnswer;
    bool Accepted;
    std::wstring Reason;
  } kCases[] = {
      {"good signature", OkAnswer(TMarkerSignatureCheck::Sign(kNewer)), true, L""},
      {"no signature", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", false,
       L"нет подписи файла обновления"},
      {"wrong signature", OkAnswer("signed(something)"), false,
       L"подпись файла обновления неверна"},
      {"signature over other bytes", OkAnswer(TMarkerSignatureCheck::Sign(kHtml)), false,
       L"подпись файла обновления неверна"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    Serve(OkAnswer(kNewer));
    server.Queue(HeadAnswer(1));
    server.Queue(c.SignatureAnswer);
    TUpdateDownloadResult result = Run();
    EXPECT_EQ(result.Accepted, c.Accepted);
    EXPECT_EQ(result.Reason, c.Reason);
    EXPECT_EQ(fs::exists(target), c.Accepted);
    EXPECT_EQ(server.Requests().back().Bytes.rfind("GET /download/Ostrada.exe.sig ", 0), 0u);
  }
}

TEST_F(TDownloadFixture, TheSignatureIsCheckedBeforeTheContent) {
  // An unsigned HTML page is refused for its signature: nothing parses unsigned bytes.
  requirements.Signature = &marker;
  Serve(OkAnswer(kHtml));
  server.Queue(HeadAnswer(1));
  server.Queue(OkAnswer("signed(else)"));
  EXPECT_EQ(Run().Reason, L"подпись файла обновления неверна");
}

}  // namespace
}  // namespace velmora
