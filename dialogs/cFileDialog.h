#pragma once
// Replaced by the file dialog class.
class cFileDialog {};
