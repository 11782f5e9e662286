#pragma once
// The records that describe one open/save dialog and one folder browser to the platform.
// Text fields are buffers: fixed-length strings, the text ending at the first NUL.
#include <QString>
#include <cstdint>

namespace platform {

// Flag values of the open/save record.
inline constexpr std::uint32_t kOfnOverwritePrompt = 0x2;
inline constexpr std::uint32_t kOfnHideReadOnly = 0x4;
inline constexpr std::uint32_t kOfnPathMustExist = 0x800;
inline constexpr std::uint32_t kOfnFileMustExist = 0x1000;

inline constexpr std::uint32_t kBifReturnOnlyFsDirs = 0x1;

struct OpenFileNameRecord {
    std::uint32_t lStructSize = 0;
    std::uintptr_t hwndOwner = 0;
    std::uintptr_t hInstance = 0;
    QString lpstrFilter;  // description/pattern pairs, NUL-separated, ending in two NULs
    QString lpstrCustomFilter;
    std::uint32_t nMaxCustFilter = 0;
    std::uint32_t nFilterIndex = 0;  // 1-based
    QString lpstrFile;               // in: file name box text; out: the chosen path
    std::uint32_t nMaxFile = 0;
    QString lpstrFileTitle;  // out: the chosen name without its folder
    std::uint32_t nMaxFileTitle = 0;
    QString lpstrInitialDir;
    QString lpstrTitle;
    std::uint32_t Flags = 0;
    std::uint16_t nFileOffset = 0;
    std::uint16_t nFileExtension = 0;
    QString lpstrDefExt;
    std::intptr_t lCustData = 0;
    void* lpfnHook = nullptr;
    QString lpTemplateName;
};

struct BrowseInfoRecord {
    std::uintptr_t hwndOwner = 0;
    const void* pidlRoot = nullptr;  // null: start from the desktop
    QString* pszDisplayName = nullptr;
    QString lpszTitle;
    std::uint32_t ulFlags = 0;
    void* lpfn = nullptr;
    std::intptr_t lParam = 0;
    int iImage = 0;
};

// The text of a buffer: its characters before the first NUL, or all of it when it holds none.
QString TextBeforeNul(const QString& buffer);

}  // namespace platform
