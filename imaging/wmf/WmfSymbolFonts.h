#pragma once
// Symbol fonts whose letters stand for pictures: the Unicode characters they show.
#include <QString>
#include <QStringList>
#include <bitset>
#include <cstdint>

namespace imaging::wmf {

enum class SymbolFont { None, Wingdings, Wingdings2, Wingdings3, Webdings };

SymbolFont SymbolFontOf(const QString& face);
// The character a byte shows in that font; bytes below 0x20 stay as they are.
char32_t SymbolFontChar(SymbolFont font, uint8_t byte);
// Families that draw those characters, best first; Qt falls back per character among them.
QStringList SymbolStandIns();
// The bytes that an installed font of exactly this name draws itself from its symbol range
// (U+F000 + byte); none when no such font is installed (a substitute would draw letters).
// Safe from any thread; the answer is kept per name.
std::bitset<256> OwnSymbolGlyphs(const QString& face);

}  // namespace imaging::wmf
