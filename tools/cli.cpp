#include "tools/cli.h"

#include "platform/code_page.h"
#include "tools/host.h"
#include "tools/setup_file_check.h"

#include <cstdio>
#include <cstdlib>

namespace mksetup {
namespace {

// The manual page is made from this text at build time (cmake/HelpToMan.cmake): a line
// that starts in the first column is a heading or a command, "  --option" lines are
// options, lines indented further continue them.
const char kUsage[] =
    "usage: mksetup build [--stub STUB] --product NAME --out SETUP\n"
    "                     ((--add STORED=FILE | --add-dir PREFIX=DIR | --add-list LIST) ... | --zip ARCHIVE)\n"
    "                     [--refuse-duplicates] [--codepage N] [--sign CERT --key KEY [--key-pass-file FILE]]\n"
    "       mksetup list [--product NAME] [--refuse-duplicates] [--codepage N] SETUP\n"
    "       mksetup verify [--product NAME] [--refuse-duplicates] [--codepage N] SETUP\n"
    "       mksetup count-markers FILE\n"
    "       mksetup --version\n"
    "       mksetup --help\n";

const char kHelp[] =
    "\n"
    "A setup file is the setup program (the stub), the eight bytes UUUUUUUU, and a ZIP\n"
    "archive. The setup program picks the product it installs from its own command line,\n"
    "and unpacks every entry under the name behind the entry's last / or \\, all into the\n"
    "one directory the user chooses.\n"
    "\n"
    "build   writes SETUP from STUB and either files or an existing archive.\n"
    "  --stub STUB         the setup program to put in front. Without it, the 32-bit stub\n"
    "                      installed with mksetup (share/mksetup/setup-win32.exe beside its\n"
    "                      bin folder), the build that ships; mksetup --version names it.\n"
    "  --product NAME      the product SETUP installs (any case): Quillet, Harnwick, Tolvane,\n"
    "                      Brisquel, Nodrake, Galvery, Urnfold, ZOV, Wendrop, LORIMAX.\n"
    "                      SETUP's file name must select it by the setup program's own rule:\n"
    "                      the name upper-cased, the keywords searched for in the order above,\n"
    "                      the first found wins. SetupTolvane-Quillet.exe selects Quillet;\n"
    "                      Setup.exe selects nothing. Only the file name is checked: it is what\n"
    "                      ships. The setup program reads its folders too, so a user who saves\n"
    "                      it as c:\\Quillet\\SetupGalvery.exe gets Quillet; mksetup warns when\n"
    "                      the output's own folder would change the product.\n"
    "  --add STORED=FILE   stores FILE deflated under the name STORED (such as\n"
    "                      d:/Galvery/RELEASE/Galvery.EXE), in the order given, with its\n"
    "                      modification time as DOS stamp (UTC) and \"UT\" extended timestamp.\n"
    "                      A file that deflating does not make smaller is stored as it is;\n"
    "                      one of more than 16 MiB is judged on its first 16 MiB. Files are\n"
    "                      read and written through buffers of a megabyte: any size takes\n"
    "                      the same memory.\n"
    "                      Names are UTF-8 text, from every option: a name of ASCII only is\n"
    "                      stored as it is, any other in UTF-8 with the UTF-8 flag (bit 11),\n"
    "                      so that it installs under the same name on every Windows.\n"
    "  --add-dir PREFIX=DIR\n"
    "                      adds every file under the folder DIR, as --add does, stored as\n"
    "                      PREFIX, a /, and its path below DIR with / between folders (PREFIX\n"
    "                      may be empty: =DIR). The files go in the order of those paths,\n"
    "                      byte by byte, so the same folder gives the same setup file. Links\n"
    "                      are followed; empty folders add nothing.\n"
    "  --add-list LIST     adds every STORED=FILE line of the file LIST (UTF-8), in order,\n"
    "                      as --add does (FILE found from the current directory, blank lines\n"
    "                      skipped); for more files than a command line takes. --add,\n"
    "                      --add-dir and --add-list may be mixed; the order given counts.\n"
    "                      More than 65535 entries are counted by a ZIP64 end record.\n"
    "  --zip ARCHIVE       uses an existing archive as it is, unless a run of 0x55 bytes in it\n"
    "                      must be broken (below).\n"
    "  --refuse-duplicates\n"
    "                      refuses two entries that install as the same file, their names\n"
    "                      compared as Windows compares them, without regard to case; by\n"
    "                      default that is a warning (the later one replaces the earlier).\n"
    "  --codepage N        stores the names in the ANSI code page N instead (932 Japanese, 936,\n"
    "                      949, 950, 874, 1250 to 1258), without the flag, as older setup files\n"
    "                      have them; a name that the code page cannot hold is refused. With\n"
    "                      --zip, and for list and verify, N is the code page in which names\n"
    "                      are read that neither the flag nor a Unicode Path extra field\n"
    "                      (0x7075) gives as UTF-8 (1252 unless given), as Windows reads them\n"
    "                      (a name from a DOS, HPFS, NTFS or VFAT host in the OEM code page\n"
    "                      beside N: 437 beside 1252, 866 beside 1251, 852 beside 1250):\n"
    "                      the second byte of a double-byte character is no separator nor\n"
    "                      reserved character. Such a name with bytes of 0x80 or more installs\n"
    "                      under another name in another code page: mksetup warns about each.\n"
    "  --sign CERT --key KEY [--key-pass-file FILE]\n"
    "                      signs SETUP (Authenticode, SHA-256) with osslsigncode: the\n"
    "                      certificate CERT and private key KEY, PEM or DER; FILE holds the\n"
    "                      key's password. $MKSETUP_OSSLSIGNCODE names the program, else\n"
    "                      osslsigncode is looked up in PATH. The signing time is\n"
    "                      SOURCE_DATE_EPOCH when set, else now.\n"
    "\n"
    "  build refuses, saying why, and writes nothing, when\n"
    "  - STUB does not hold the marker exactly once, ends in a 0x55 byte, or is signed;\n"
    "  - SETUP's name does not select the product;\n"
    "  - a name is not valid UTF-8, or --codepage N cannot hold it;\n"
    "  - the archive has what the setup program cannot read: more than one volume, entries\n"
    "    of 4 GiB or more, ZIP64 records it would not find or that disagree, an entry count\n"
    "    that disagrees with the central directory, methods other than stored and deflated,\n"
    "    encryption, names of 260 bytes or more, damaged headers or data. A count that\n"
    "    wrapped at 65536 (a writer without ZIP64) is a warning: the setup program installs\n"
    "    every entry, other unzip programs may not;\n"
    "  - SETUP would be 4,200,000,000 bytes or larger: Windows starts no program from a\n"
    "    file of 4 GiB or more (\"not a valid Win32 application\"), and the rest is room for\n"
    "    a signature added afterwards;\n"
    "  - an entry would install under an empty or unsafe name: a directory entry (a name that\n"
    "    ends in / or \\ is one), a device name such as NUL, a name with a colon or ending in a\n"
    "    dot or space, a name marked as UTF-8 that is not valid UTF-8 (the setup program would\n"
    "    not install it);\n"
    "  - eight 0x55 bytes stand in a row in the archive or the signature: the setup program\n"
    "    would count a third marker and refuse to install. In deflated data or a compressed\n"
    "    size, mksetup deflates the entry again at other levels until the run is gone (a\n"
    "    file it chose to store, it deflates); in the data of an entry stored in the archive\n"
    "    given, a name, a CRC-32, a time or another fixed field it refuses. A\n"
    "    signature holding one is made again with the signing time one second later.\n"
    "\n"
    "  The same inputs give the same bytes. With SOURCE_DATE_EPOCH set, files modified\n"
    "  after it are stored with that time instead.\n"
    "\n"
    "list    shows the product SETUP's name selects, the markers, the signature and every\n"
    "        entry: the name it installs as (read as the setup program reads it: UTF-8 where\n"
    "        the UTF-8 flag or a Unicode Path extra field says so, else in the OEM code page\n"
    "        for a DOS-like host, else in the ANSI code page),\n"
    "        sizes, method, CRC-32, times (UTC) and attributes as the setup program's reader\n"
    "        gives them, how the name was read where it is not plain ASCII, and the stored\n"
    "        name (bytes of a code page as \\xNN).\n"
    "verify  lists, reads every entry whole and checks its size and CRC-32.\n"
    "        Both take --product NAME to require that product, and report every defect.\n"
    "count-markers  prints how many markers the setup program counts in FILE.\n"
    "--version      prints mksetup's version, and the stub build uses without --stub with\n"
    "               its file version.\n"
    "\n"
    "Exit status: 0 on success, 1 when a build is refused or a defect is found, 2 for a\n"
    "wrong command line.\n";

}  // namespace

void Say(const std::string& message) { std::fprintf(stderr, "mksetup: %s\n", message.c_str()); }

int Usage() {
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

int Help() {
  std::fputs(kUsage, stdout);
  std::fputs(kHelp, stdout);
  return 0;
}

bool ReadInput(const std::string& path, std::vector<uint8_t>& bytes) {
  std::string error;
  if (host::ReadFile(path, bytes, &error)) return true;
  Say(error);
  return false;
}

bool Report(const std::vector<Finding>& findings, const std::string& prefix) {
  bool defect = false;
  for (const Finding& f : findings)
    if (!f.defect) Say(prefix + "warning: " + f.message);
  for (const Finding& f : findings) {
    if (!f.defect) continue;
    Say(prefix + f.message);
    defect = true;
  }
  return defect;
}

bool TakeProduct(const std::string& name, const ProductProfile** product) {
  *product = ProductNamed(name);
  if (*product) return true;
  std::string known;
  for (const ProductProfile& row : kProductProfiles) known += std::string(known.empty() ? "" : ", ") + row.productName;
  Say("unknown product '" + name + "'; the products are " + known);
  return false;
}

bool TakeCodePage(const std::string& text, unsigned* codePage) {
  char* end = nullptr;
  const unsigned long number = std::strtoul(text.c_str(), &end, 10);
  if (!text.empty() && *end == '\0' && number <= 0xFFFF && IsAnsiCodePage(unsigned(number))) {
    *codePage = unsigned(number);
    return true;
  }
  Say("--codepage takes an ANSI code page of Windows: 874, 932, 936, 949, 950 or 1250 to 1258, not '" + text + "'");
  return false;
}

}  // namespace mksetup
