// What the setup dialog opens with and what "OK/Save" does, apart from the windows:
// choose the product from the command line; have the agreement accepted, make sure the
// destination directory exists, name the pack file after the product, copy the embedded
// archive out to it, unpack it into the directory, report what was unpacked and offer a
// desktop shortcut.
#pragma once

#include "app/product_profiles.h"
#include "app/setup_screens.h"
#include "framework/afxstr.h"
#include "payload/payload_layout.h"

// What the setup dialog holds for one installation.
struct CSetupTarget {
  CString m_strSetupFile;      // the command line without its double quotes: picks the product
  CString m_strProductName;
  char m_chPackSelector = 0;   // set when a profile is chosen
  CStringW m_strDirectory;     // as typed, made absolute once "OK/Save" goes on
  CStringW m_strPackFile;      // wide, as the directory it lies in
  CStringList m_agreementLines;
  PayloadLayout m_payload;     // the setup file's archive as checked at "OK/Save"
};

// Chooses the product by the first keyword in the upper-cased command line and fills
// `target` from its profile. Null after "Invalid setup file name:%s" when none is there.
const ProductProfile* StartSetup(const CString& commandLine, CSetupTarget& target);

// "OK/Save". True when the installation step ran, whatever it gave, or the setup file
// is incomplete or damaged (nothing written), so that the setup dialog closes; false
// when it stays open for another try, with nothing written: the agreement was declined,
// the disk has too little room, or the directory could not be created.
bool RunInstallation(CSetupScreens& screens, CSetupTarget& target);

// One installation step into target.m_strDirectory: 1 when it went on to the end (the
// shortcut question follows), 0 when it stopped after a message.
int InstallFiles(CSetupScreens& screens, const CSetupTarget& target);
