// The self-update: the notice when the account server announces a new version, the download
// as a task on the process's thread pool, its checks, the swap script "update.bat" and the
// program's close that lets the script swap the executables.
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/win32/Scoped.h"
#include "base/win32/SystemCodePage.h"
#include "base/win32/SystemError.h"
#include "engine/AppTitle.h"
#include "engine/ExeVersion.h"
#include "engine/FileReplace.h"
#include "engine/PeImage.h"
#include "engine/SystemFolders.h"
#include "engine/UpdateSignature.h"
#include "ui/UpdateDownload.h"
#include "ui/UpdateKey.h"
#include "ui/UpdateScript.h"
#include "ui/win32/UpdateInterpreter.h"
#include "ui/win32/ufrmMain.h"

namespace velmora {

// The download task's transfer helper while a download runs; guarded by gUpdateLock.
TSynDownload* UpdateSynDL = nullptr;

struct TUpdateTask {
  std::wstring Link;
  HWND Window = nullptr;
  std::atomic<bool> Running{true};
};

namespace {

std::mutex gUpdateLock;

constexpr wchar_t kUpdateNotice[] =
    L"Найдена новая версия программы. Сейчас будет выполнено обновление.";

std::wstring FolderOf(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// Writes and starts the swap script; the error for the log, or empty once it runs.
std::wstring ApplyUpdate() {
  const std::wstring exe = OwnModulePath();
  const std::wstring folder = FolderOf(exe);
  const std::wstring script = folder + kUpdateScriptName;
  const std::wstring system = SystemFolder();
  if (system.empty())
    return L"не удалось узнать системную папку";
  if (!IsSafeScriptPath(script))
    return L"в пути к папке программы больше одного знака «%»: командный интерпретатор прочёл "
           L"бы его иначе";
  // The script in the OEM code page; a name with a character that has no exact form there
  // would make the script rename the wrong file.
  std::optional<std::string> text = ToCodePageExactly(
      CP_OEMCP,
      UpdateScriptText(exe.substr(folder.size()), GetCurrentProcessId(), GetOEMCP(), system));
  if (!text)
    return L"имя программы нельзя записать в кодировке командной строки";
  if (!ReplaceFileAtomically(script, *text))
    return L"не удалось записать " + script;
  // The program's own file, open without delete sharing and not inherited: until this process
  // ends (also when the script ends it), the script's rename of the program fails, so the swap
  // waits for the process itself, whatever the process list shows.
  TScopedHandle hold(CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (DWORD error = StartUpdateScript(system, script)) {
    RemoveFile(script);
    return L"не удалось запустить " + UpdateInterpreterPath(system) + L" (" +
           SystemErrorText(error) + L")";
  }
  hold.Release();  // left open on purpose: the system closes it when the process ends
  return {};
}

// The requirements of a download; the refusal reason when the built-in key is unusable.
std::wstring Requirements(TUpdateRequirements& requirements,
                          std::unique_ptr<TUpdateSignatureCheck>& check) {
  requirements.Machine = kOwnMachine;
  requirements.Running = ExeVersion();
  if (kUpdatePublicKeyPem[0] == '\0')
    return {};
  std::optional<TP256Pair> key = P256PublicKeyFromPem(kUpdatePublicKeyPem);
  if (!key)
    return L"ключ проверки подписи в программе повреждён";
  check = MakeSystemSignatureCheck(*key);
  requirements.Signature = check.get();
  return {};
}

// The task's body: download, check, apply; tells the window how it ended.
void RunUpdateTask(TUpdateTask& task) {
  const std::wstring target = OwnModulePath() + kUpdatedSuffix;
  TUpdateRequirements requirements;
  std::unique_ptr<TUpdateSignatureCheck> check;
  std::wstring reason = Requirements(requirements, check);
  bool applied = false;
  if (reason.empty()) {
    auto download = std::make_unique<TSynDownload>();
    {
      std::lock_guard lock(gUpdateLock);
      UpdateSynDL = download.get();
    }
    TUpdateDownloadResult result = DownloadUpdate(*download, task.Link, target, requirements);
    {
      std::lock_guard lock(gUpdateLock);
      UpdateSynDL = nullptr;
    }
    reason = result.Accepted ? ApplyUpdate() : result.Reason;
    if (result.Accepted && !reason.empty())
      RemoveFile(target);
    applied = reason.empty();
  }
  task.Running = false;
  // The window owns the reason once the message is posted.
  auto* text = new std::wstring(std::move(reason));
  if (!PostMessageW(task.Window, kUpdateDoneMessage, applied, reinterpret_cast<LPARAM>(text)))
    delete text;
}

VOID CALLBACK UpdateTaskCallback(PTP_CALLBACK_INSTANCE, PVOID context) {
  // The task stays alive for the body's duration, whatever the window does meanwhile.
  std::unique_ptr<std::shared_ptr<TUpdateTask>> task(
      static_cast<std::shared_ptr<TUpdateTask>*>(context));
  RunUpdateTask(**task);
}

}  // namespace

void TfrmMain::EnterUpdate(const TUserInfo& info) {
  // Set before the notice: its message loop goes on delivering notifications.
  FInUpdateProgress = true;
  FDownloadLink = info[ufContract];
  MessageBoxW(FHandle, kUpdateNotice, kApplicationTitle, MB_OK | MB_ICONINFORMATION);
  StartDownloadingUpdate();
}

void TfrmMain::StartDownloadingUpdate() {
  if (FTask && FTask->Running)
    return;
  auto task = std::make_shared<TUpdateTask>();
  task->Link = FDownloadLink;
  task->Window = FHandle;
  auto* reference = new std::shared_ptr<TUpdateTask>(task);
  if (!TrySubmitThreadpoolCallback(UpdateTaskCallback, reference, nullptr)) {
    delete reference;
    AppendLog(std::wstring(kUpdateRefusedPrefix) + L"не удалось запустить загрузку");
    return;
  }
  FTask = std::move(task);
}

void TfrmMain::UpdateDone(bool applied, std::unique_ptr<std::wstring> reason) {
  if (applied) {
    // The script waits for this process to end before it swaps the executables.
    CloseApplication();
    return;
  }
  AppendLog(kUpdateRefusedPrefix + *reason);
}

}  // namespace velmora
