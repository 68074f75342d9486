// The product family: one row per product, fixed at build time. The row is chosen from
// the setup program's own command line.
#pragma once

#include "framework/afxstr.h"

struct ProductProfile {
  const char* keyword;           // upper case, searched for in the upper-cased command line
  const char* defaultDirectory;  // offered in the directory box
  const char* productName;       // also the base name of the program file and its shortcut
  const char* windowTitle;       // "Setup " + product name
  char packSelector;             // picks the pack file name from kPackFileTemplates
};

constexpr int kProductCount = 10;
// In search order: the first keyword found anywhere in the command line wins.
extern const ProductProfile kProductProfiles[kProductCount];

struct PackFileTemplate {
  char selector;
  const char* format;  // one %s: the destination directory
};

constexpr int kPackFileTemplateCount = 9;
extern const PackFileTemplate kPackFileTemplates[kPackFileTemplateCount];

// The first row whose keyword occurs in `upperCommandLine`, or null when none does.
const ProductProfile* FindProductProfile(const CString& upperCommandLine);

// The pack file name template for a selector, or null for an unknown one.
const char* PackFileTemplateFor(char selector);
