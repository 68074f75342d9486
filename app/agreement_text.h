#pragma once

#include "framework/afxstr.h"

// Appends the license agreement: first paragraph, an empty line, second paragraph.
// Each paragraph is one line; the agreement dialog wraps it to its text box.
void AppendAgreementLines(CStringList& lines);
