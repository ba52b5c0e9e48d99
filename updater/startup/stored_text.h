// A few fixed texts of the launcher are kept in two pieces and joined at run
// time, so that they do not stand whole in the executable's data.
#pragma once

namespace vantor {

// Returns head followed by tail. Every call makes a new text; none is freed
// before the process ends, so the pointer stays valid for the process's life.
const wchar_t* joinStoredText(const wchar_t* head, const wchar_t* tail);

}  // namespace vantor
