#include "system_error_text.h"

#include <windows.h>

#include "wide_text.h"

namespace torv {

std::string SystemErrorText(int code)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                   nullptr);
    std::wstring words = n > 0 && text ? std::wstring(text, n) : std::wstring();
    if (text)
        LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' ' ||
                              words.back() == L'.'))
        words.pop_back();
    if (words.empty())
        return "error " + std::to_string(code);
    return Utf8Of(words);
}

} // namespace torv
