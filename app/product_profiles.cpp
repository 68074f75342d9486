#include "app/product_profiles.h"

// Quillet and Harnwick share Tolvane's directory and Quillet's pack file.
const ProductProfile kProductProfiles[kProductCount] = {
    {"QUILLET", "c:\\tlvn", "Quillet", "Setup Quillet", 'Q'},
    {"HARNWICK", "c:\\tlvn", "Harnwick", "Setup Harnwick", 'Q'},
    {"TOLVANE", "c:\\tlvn", "Tolvane", "Setup Tolvane", 'T'},
    {"BRISQUEL", "c:\\Brisquel", "Brisquel", "Setup Brisquel", 'B'},
    {"NODRAKE", "c:\\Nodrake", "Nodrake", "Setup Nodrake", 'N'},
    {"GALVERY", "c:\\Galvery", "Galvery", "Setup Galvery", 'G'},
    {"URNFOLD", "c:\\Urnfold", "Urnfold", "Setup Urnfold", 'U'},
    {"ZOV", "c:\\ZOV", "ZOV", "Setup ZOV", 'Z'},
    {"WENDROP", "c:\\Wendrop", "Wendrop", "Setup Wendrop", 'W'},
    {"LORIMAX", "c:\\LORIMAX", "LORIMAX", "Setup LORIMAX", 'L'},
};

// The extension is only part of the name: every pack file is the same ZIP archive.
const PackFileTemplate kPackFileTemplates[kPackFileTemplateCount] = {
    {'Q', "%s\\Quillet_pack.zip"},
    {'T', "%s\\SetupTolvane.zip"},
    {'B', "%s\\brispack.exe"},
    {'N', "%s\\nodpack.exe"},
    {'G', "%s\\Galvery_pack.zip"},
    {'U', "%s\\urnpack.exe"},
    {'Z', "%s\\zov_pack.exe"},
    {'W', "%s\\wendrop_pack.exe"},
    {'L', "%s\\lorimax_pack.exe"},
};

const ProductProfile* FindProductProfile(const CString& upperCommandLine) {
  for (const ProductProfile& row : kProductProfiles) {
    if (upperCommandLine.Find(row.keyword) >= 0) return &row;
  }
  return nullptr;
}

const char* PackFileTemplateFor(char selector) {
  for (const PackFileTemplate& t : kPackFileTemplates) {
    if (t.selector == selector) return t.format;
  }
  return nullptr;
}
