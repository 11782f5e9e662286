#pragma once

namespace modDuvix {
// Loads the comparison window and shows it; the program then only reacts to events.
void Main();
}  // namespace modDuvix
