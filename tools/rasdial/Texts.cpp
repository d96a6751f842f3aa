// Wording of the stand-in dialer. The English lines follow the real dialer's transcripts; the
// Russian ones are worded in the same shape.
#include "tools/rasdial/Texts.h"

namespace rasdial {
namespace {

struct TErrorText {
  int Number;
  const wchar_t* English;
  const wchar_t* Russian;
};

constexpr TErrorText kErrorTexts[] = {
    {619,
     L"A connection to the remote computer could not be established, so the port used for this "
     L"connection was closed.",
     L"Не удалось установить связь с удаленным компьютером, поэтому порт этого подключения "
     L"был закрыт."},
    {623, L"The system could not find the phone book entry for this connection.",
     L"Системе не удалось найти запись телефонной книги для этого подключения."},
    {628, L"The connection was terminated by the remote computer before it could be completed.",
     L"Подключение было закрыто удаленным компьютером до его завершения."},
    {651, L"The modem (or other connecting device) has reported an error.",
     L"Модем (или другое устройство связи) сообщил об ошибке."},
    {676, L"The phone line is busy.", L"Линия занята."},
    {678,
     L"The remote computer did not respond. To make sure that the server can be reached, ping "
     L"the remote computer.",
     L"Удаленный компьютер не отвечает. Чтобы убедиться, что сервер доступен, проверьте связь "
     L"с ним командой ping."},
    {680, L"There was no dial tone.", L"Нет гудка."},
    {691,
     L"The remote connection was denied because the user name and password combination you "
     L"provided is not recognized, or the selected authentication protocol is not permitted on "
     L"the remote access server.",
     L"Доступ запрещен, поскольку такие имя пользователя или пароль недопустимы в этом "
     L"домене."},
    {718,
     L"The connection was terminated because the remote computer did not respond in a timely "
     L"manner.",
     L"Подключение было прервано, поскольку удаленный компьютер не ответил вовремя."},
    {720,
     L"A connection to the remote computer could not be established. You might need to change "
     L"the network settings for this connection.",
     L"Не удалось установить связь с удаленным компьютером. Возможно, потребуется изменить "
     L"сетевые параметры этого подключения."},
    {734, L"The PPP link control protocol was terminated.",
     L"Протокол управления PPP-связью был прерван."},
    {756, L"This connection is already being dialed.", L"Это подключение уже набирается."},
    {769, L"The specified destination is not reachable.", L"Указанное назначение недостижимо."},
    {814,
     L"The underlying Ethernet connectivity required for the broadband connection was not "
     L"found.",
     L"Не найдено Ethernet-подключение, необходимое для высокоскоростного подключения."},
    {815,
     L"The broadband network connection could not be established on your computer because the "
     L"remote server is not responding.",
     L"Не удалось установить высокоскоростное подключение на этом компьютере, поскольку "
     L"удаленный сервер не отвечает."},
    {829, L"The modem (or other connecting device) was disconnected due to link failure.",
     L"Модем (или другое устройство связи) был отключен из-за сбоя линии."},
    {832, L"The connection was terminated because of hibernation.",
     L"Подключение было прервано из-за перехода в режим гибернации."},
    {833, L"The connection was terminated because the system got suspended.",
     L"Подключение было прервано из-за перехода системы в ждущий режим."},
};

std::wstring ErrorText(TLanguage language, int error) {
  for (const TErrorText& text : kErrorTexts) {
    if (text.Number == error) {
      return language == TLanguage::Russian ? text.Russian : text.English;
    }
  }
  return language == TLanguage::Russian ? L"Неизвестная ошибка." : L"Unknown error.";
}

}  // namespace

TWording Wording(TLanguage language, const std::wstring& entry) {
  if (language == TLanguage::Russian) {
    return {L"Установка связи с " + entry + L"...",
            L"Проверка имени пользователя и пароля...",
            L"Регистрация компьютера в сети...",
            L"Успешно подключен к " + entry + L".",
            L"Подключение к " + entry + L" уже установлено.",
            L"Нет подключения к " + entry + L".",
            L"Подключено к",
            L"Нет подключений",
            L"Команда успешно выполнена."};
  }
  return {L"Connecting to " + entry + L"...",
          L"Verifying username and password...",
          L"Registering your computer on the network...",
          L"Successfully connected to " + entry + L".",
          L"You are already connected to " + entry + L".",
          L"You are not connected to " + entry + L".",
          L"Connected to",
          L"No connections",
          L"Command completed successfully."};
}

std::vector<std::wstring> ErrorLines(TLanguage language, int error) {
  const std::wstring number = std::to_wstring(error);
  if (language == TLanguage::Russian) {
    return {L"",
            L"Ошибка удаленного доступа " + number + L" - " + ErrorText(language, error),
            L"",
            L"Для получения дополнительных сведений об этой ошибке:",
            L"        Введите 'hh netcfg.chm'",
            L"        В справке выберите \"Устранение неполадок\", затем \"Сообщения об "
            L"ошибках\", затем " +
                number};
  }
  return {L"",
          L"Remote Access error " + number + L" - " + ErrorText(language, error),
          L"",
          L"For more help on this error:",
          L"        Type 'hh netcfg.chm'",
          L"        In help, click Troubleshooting, then Error Messages, then " + number};
}

}  // namespace rasdial
