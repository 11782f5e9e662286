#pragma once
// Symbol fonts whose letters stand for pictures: the Unicode characters they show.
#include <QString>
#include <cstdint>

namespace imaging::wmf {

enum class SymbolFont { None, Wingdings, Wingdings2, Wingdings3, Webdings };

SymbolFont SymbolFontOf(const QString& face);
// The character a byte shows in that font; bytes below 0x20 stay as they are.
char32_t SymbolFontChar(SymbolFont font, uint8_t byte);

}  // namespace imaging::wmf
