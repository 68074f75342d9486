// mksetup build: a setup file from the stub and the product's files, checked whole as
// the setup program will meet it before anything is written. A refused build writes
// nothing: the output is made beside its final name and only then renamed.
#include "tools/command_build.h"

#include "archive/archive_seal.h"
#include "payload/payload_marker.h"
#include "platform/handles.h"
#include "tools/byte_sink.h"
#include "tools/byte_source.h"
#include "tools/host.h"
#include "tools/installed_stub.h"
#include "tools/name_text.h"
#include "tools/pack_reader.h"
#include "tools/setup_archive.h"
#include "tools/setup_file_check.h"
#include "tools/signing.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mksetup {
namespace {

struct BuildArguments {
  std::string stub, out, zip, certificate, key, passwordFile;
  const ProductProfile* product = nullptr;
  std::vector<std::pair<std::string, std::string>> adds;  // stored name, file
  bool refuseDuplicates = false;
  // With --add names: the code page they are stored in, when given; with --zip the one
  // the archive's names of a code page are read in.
  unsigned codePage = kWesternCodePage;
  bool codePageGiven = false;
};

// Names that cannot be stored, spelt out one by one; more are counted.
const size_t kNamesReported = 20;

const char kAddExample[] = "d:/Galvery/RELEASE/Galvery.EXE=build/Galvery.EXE";

// The two sides of NAME=PATH; false when the text is not that. The name may be empty
// only where `nameMayBeEmpty`.
bool SplitAdd(const std::string& text, std::pair<std::string, std::string>* add, bool nameMayBeEmpty = false) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || (eq == 0 && !nameMayBeEmpty) || eq + 1 == text.size() ||
      text.find('\0') != std::string::npos)
    return false;
  *add = {text.substr(0, eq), text.substr(eq + 1)};
  return true;
}

// Adds every file under the folder of PREFIX=DIR, in the byte order of their paths
// below it; false after saying why not.
bool AddDirectory(const std::pair<std::string, std::string>& prefixAndFolder,
                  std::vector<std::pair<std::string, std::string>>& adds) {
  const std::string& prefix = prefixAndFolder.first;
  const std::string& folder = prefixAndFolder.second;
  std::vector<std::string> files;
  std::string error;
  if (!host::FilesUnder(folder, &files, &error)) {
    Say("--add-dir: " + error);
    return false;
  }
  if (files.empty()) {
    Say("--add-dir: the folder " + folder + " holds no files");
    return false;
  }
  std::sort(files.begin(), files.end());
  const bool separated = prefix.empty() || prefix.back() == '/' || prefix.back() == '\\';
  for (const std::string& file : files)
    adds.push_back({prefix + (separated ? "" : "/") + file, host::JoinPath(folder, file)});
  return true;
}

// Adds the STORED=FILE lines of an --add-list file, skipping blank ones; false after
// saying why not.
bool ReadAddList(const std::string& path, std::vector<std::pair<std::string, std::string>>& adds) {
  std::vector<uint8_t> bytes;
  if (!ReadInput(path, bytes)) return false;
  std::string text(bytes.begin(), bytes.end());
  // Notepad begins a UTF-8 file with a byte order mark.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  size_t number = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a list written on Windows
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::pair<std::string, std::string> add;
    if (!SplitAdd(line, &add)) {
      Say(path + ":" + std::to_string(number) + ": " + Quoted(line) + " is not STORED=FILE, such as " + kAddExample);
      return false;
    }
    adds.push_back(std::move(add));
  }
  return true;
}

// True when the build goes on; otherwise `exitStatus` says how mksetup ends.
bool ParseBuild(const Arguments& args, BuildArguments& a, int* exitStatus) {
  *exitStatus = kExitUsage;
  bool help = false, lists = false;
  const size_t argc = args.size();
  for (size_t i = 2; i < argc; ++i) {
    const std::string& option = args[i];
    if (option == "--help" || option == "-h") {
      help = true;
      continue;
    }
    if (option == "--refuse-duplicates") {
      a.refuseDuplicates = true;
      continue;
    }
    if (i + 1 >= argc) {
      Usage();
      return false;
    }
    const std::string& value = args[++i];
    if (option == "--stub") a.stub = value;
    else if (option == "--out") a.out = value;
    else if (option == "--zip") a.zip = value;
    else if (option == "--sign") a.certificate = value;
    else if (option == "--key") a.key = value;
    else if (option == "--key-pass-file") a.passwordFile = value;
    else if (option == "--codepage") {
      if (!TakeCodePage(value, &a.codePage)) return false;
      a.codePageGiven = true;
    } else if (option == "--product") {
      if (!TakeProduct(value, &a.product)) return false;
    } else if (option == "--add") {
      std::pair<std::string, std::string> add;
      if (!SplitAdd(value, &add)) {
        Say(std::string("--add takes STORED=FILE, such as ") + kAddExample);
        return false;
      }
      a.adds.push_back(std::move(add));
    } else if (option == "--add-dir") {
      std::pair<std::string, std::string> prefixAndFolder;
      if (!SplitAdd(value, &prefixAndFolder, true)) {
        Say("--add-dir takes PREFIX=DIR, such as d:/Galvery=build/Galvery");
        return false;
      }
      if (!AddDirectory(prefixAndFolder, a.adds)) {
        *exitStatus = kExitRefused;
        return false;
      }
    } else if (option == "--add-list") {
      lists = true;
      if (!ReadAddList(value, a.adds)) {
        *exitStatus = kExitRefused;
        return false;
      }
    } else {
      Usage();
      return false;
    }
  }
  if (help) {
    *exitStatus = Help();
    return false;
  }
  if (lists && a.adds.empty() && a.zip.empty()) {
    Say("the --add-list files name no file to add");
    *exitStatus = kExitRefused;
    return false;
  }
  if (a.out.empty() || !a.product || a.zip.empty() == a.adds.empty()) {
    Usage();
    return false;
  }
  if (a.stub.empty()) {
    a.stub = InstalledStubPath();
    if (a.stub.empty() || !host::IsFile(a.stub)) {
      Say("no --stub given, and no stub is installed with mksetup" +
          (a.stub.empty() ? std::string() : " (" + a.stub + ")") +
          ": give --stub STUB, the setup program built for Windows (build/win32/setup.exe)");
      *exitStatus = kExitRefused;
      return false;
    }
  }
  if (a.certificate.empty() != a.key.empty() || (!a.passwordFile.empty() && a.key.empty())) {
    Say("--sign and --key go together");
    return false;
  }
  return true;
}

// Writes the archive from the --add files, or from --zip, to `out`; its length in `size`.
// False after saying why not.
bool MakeArchive(const BuildArguments& a, const std::optional<int64_t>& sourceDateEpoch, ByteSink& out,
                 uint64_t maxSize, uint64_t* size) {
  std::vector<std::string> problems, notes;
  bool made = false;
  if (!a.adds.empty()) {
    // Every name first, so that a name that cannot be stored is said before any file is read.
    std::vector<StoredName> names(a.adds.size());
    size_t unstorable = 0;
    for (size_t k = 0; k < a.adds.size(); ++k) {
      std::string error;
      if (StoreName(a.adds[k].first, a.codePageGiven ? a.codePage : 0, &names[k], &error)) continue;
      if (++unstorable <= kNamesReported)
        Say("cannot store the name " + Quoted(a.adds[k].first) + " given for " + a.adds[k].second + ": " + error);
    }
    if (unstorable > kNamesReported)
      Say(Format("and %zu more names that cannot be stored", unstorable - kNamesReported));
    if (unstorable) return false;
    std::vector<Member> members;
    for (size_t k = 0; k < a.adds.size(); ++k) {
      const auto& add = a.adds[k];
      int64_t modified = 0;
      if (!host::IsFile(add.second)) {
        Say("cannot open " + add.second + ": it is no file");
        return false;
      }
      if (!host::ModificationTime(add.second, &modified)) {
        Say("cannot read the modification time of " + add.second);
        return false;
      }
      Member m;
      std::string error;
      if (!MemberFromPath(names[k], add.second, StoredTime(modified, sourceDateEpoch), &m, &error)) {
        Say(add.second + ": " + error);
        return false;
      }
      members.push_back(std::move(m));
    }
    made = WriteArchiveAvoidingMarkers(members, std::string(), kCompressions, out, maxSize, size, &problems, &notes);
  } else {
    const CCrtFile zip(host::OpenFile(a.zip, "rb"));
    uint64_t zipSize = 0;
    if (!zip.IsValid() || !host::SizeOfFile(zip.Get(), &zipSize)) {
      Say("cannot open " + a.zip + ": " + std::strerror(errno));
      return false;
    }
    if (zipSize > maxSize) {
      Say(Format("%s is %llu bytes; beside the stub it would pass %llu bytes: %s", a.zip.c_str(),
                 (unsigned long long)zipSize, (unsigned long long)maxSize, kSizeLimitReason));
      return false;
    }
    const FileSource source(zip.Get(), zipSize);
    CheckOptions options;
    options.refuseDuplicates = a.refuseDuplicates;
    options.codePage = a.codePage;
    // A seal it has is replaced, whether it holds or not.
    options.checkSeal = false;
    const ArchiveCheck check = CheckArchive(source, options);
    bool refused = false;
    for (const Finding& f : check.findings) {
      if (!f.defect || f.markerRun) continue;
      Say(a.zip + ": " + f.message);
      refused = true;
    }
    if (refused) return false;
    if (check.runs.empty()) {
      // Shipped as given up to the comment's length; the comment gets the seal, which the
      // CRC of the bytes copied makes without reading them again.
      const std::string comment = CommentBeforeSeal(check.comment);
      const std::string noRoom = NoRoomForSeal(comment.size());
      if (!noRoom.empty()) {
        Say(a.zip + ": " + noRoom);
        return false;
      }
      const uint64_t lengthAt = check.endRecord + 20;  // the comment's length, the end record's last field
      uint64_t at = 0;
      uint32_t crc = 0;
      bool copied = ReadInPieces(source, 0, lengthAt, [&](const uint8_t* data, size_t n) {
        if (!out.WriteAt(at, data, n)) return false;
        crc = ExtendSealCrc(crc, data, n);
        at += n;
        return true;
      });
      std::string end;
      end += char((comment.size() + kSealLength) & 0xFF);
      end += char((comment.size() + kSealLength) >> 8);
      end += comment;
      end += kSealTag;
      crc = ExtendSealCrc(crc, end.data(), end.size());
      end += SealText(crc).substr(kSealTag.size());
      copied = copied && out.WriteAt(at, end.data(), end.size());
      if (!copied) Say("cannot copy " + a.zip + " into the setup file: " + std::strerror(errno));
      *size = at + end.size();
      if (*size > maxSize) {
        Say(Format("%s with its seal is %llu bytes; beside the stub it would pass %llu bytes: %s", a.zip.c_str(),
                   (unsigned long long)*size, (unsigned long long)maxSize, kSizeLimitReason));
        return false;
      }
      return copied && out.SetSize(*size);
    }
    std::vector<Member> members = MembersFromArchive(source, check);
    made = WriteArchiveAvoidingMarkers(members, check.comment, kCompressions, out, maxSize, size, &problems, &notes);
  }
  for (const std::string& note : notes) Say(note);
  for (const std::string& problem : problems) Say(problem);
  return made;
}

// Checks the whole setup file as the setup program will meet it; false after saying why.
bool CheckOutput(const ByteSource& file, const BuildArguments& a, bool signedFile, size_t* entries) {
  CheckOptions options;
  options.refuseDuplicates = a.refuseDuplicates;
  options.codePage = a.codePage;
  const SetupFileCheck c = CheckSetupFile(file, a.out, a.product, options);
  std::vector<Finding> findings = c.findings;
  findings.insert(findings.end(), c.archive.findings.begin(), c.archive.findings.end());
  if (c.archiveStart != kNowhere) {
    const SubSource pack(file, c.archiveStart, file.Size() - c.archiveStart);
    const ReaderView view = ReadWithSetupReader(pack, &c.archive);
    const std::vector<Finding> reader = CompareWithReader(c.archive, view);
    findings.insert(findings.end(), reader.begin(), reader.end());
  }
  *entries = c.archive.entries.size();
  if (signedFile && c.certificateOffset == kNowhere)
    findings.push_back({true, -1, "the signed file has no certificate table"});
  // Warnings were shown for the unsigned file already.
  if (signedFile) {
    std::vector<Finding> defects;
    for (const Finding& f : findings)
      if (f.defect) defects.push_back(f);
    findings = defects;
  }
  return !Report(findings, InstallName(a.out) + ": ");
}

// Checks the setup file at `path` as CheckOutput does, and gives its size.
bool CheckOutputFile(const std::string& path, const BuildArguments& a, bool signedFile, size_t* entries,
                     uint64_t* size) {
  const CCrtFile file(host::OpenFile(path, "rb"));
  if (!file.IsValid() || !host::SizeOfFile(file.Get(), size)) {
    Say("cannot read " + path + ": " + std::strerror(errno));
    return false;
  }
  return CheckOutput(FileSource(file.Get(), *size), a, signedFile, entries);
}

// Writes the stub, the marker and the archive to `partial`, and checks it; false after
// saying why, the file removed.
bool WriteSetupFile(const std::string& partial, const std::vector<uint8_t>& stub, const BuildArguments& a,
                    const std::optional<int64_t>& sourceDateEpoch, uint64_t* archiveSize, size_t* entries,
                    uint64_t* fileSize) {
  CCrtFile file(host::OpenFile(partial, "w+b"));
  if (!file.IsValid()) {
    Say("cannot create " + partial + ": " + std::strerror(errno));
    return false;
  }
  std::vector<uint8_t> head = stub;
  head.insert(head.end(), PayloadMarker, PayloadMarker + std::strlen(PayloadMarker));
  FileSink out(file.Get(), head.size());
  bool ok = std::fwrite(head.data(), 1, head.size(), file.Get()) == head.size();
  if (!ok) Say("cannot write " + partial + ": " + std::strerror(errno));
  ok = ok && MakeArchive(a, sourceDateEpoch, out, kMaxSetupFileSize - head.size(), archiveSize);
  if (ok) {
    *fileSize = head.size() + *archiveSize;
    ok = std::fflush(file.Get()) == 0 && CheckOutput(FileSource(file.Get(), *fileSize), a, false, entries);
  }
  // A full disk may show only at the close.
  if (!file.Close() && ok) {
    Say("cannot write " + partial + ": " + std::strerror(errno));
    ok = false;
  }
  if (!ok) host::RemoveFile(partial);
  return ok;
}

}  // namespace

int Build(const Arguments& args) {
  BuildArguments a;
  int exitStatus = 0;
  if (!ParseBuild(args, a, &exitStatus)) return exitStatus;

  const std::string outName = InstallName(a.out);
  const std::string nameProblem = UnsafeNameReason(outName);
  if (!nameProblem.empty()) {
    Say("the setup file's name '" + outName + "' cannot be used: " + nameProblem);
    return kExitRefused;
  }
  const ProductProfile* selected = ProductSelectedBy(outName);
  if (selected != a.product) {
    Say(selected ? "the name '" + outName + "' selects " + selected->productName + ", not " + a.product->productName +
                       ": the setup program finds " + selected->keyword + " first"
                 : "the name '" + outName + "' selects no product: the setup program would refuse to run; put " +
                       a.product->keyword + " into it, as in Setup" + a.product->productName + ".exe");
    return kExitRefused;
  }
  const std::string full = host::FullPath(a.out);
  const ProductProfile* fromHere = ProductSelectedBy(full);
  if (fromHere != a.product)
    Say(std::string("warning: started from ") + full + " the setup file would install " + fromHere->productName +
        ": the setup program searches its folders too; users who keep the file's name get " + a.product->productName);

  std::optional<int64_t> sourceDateEpoch;
  if (!ParseSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), &sourceDateEpoch)) {
    Say(std::string("SOURCE_DATE_EPOCH is '") + std::getenv("SOURCE_DATE_EPOCH") + "', not a number of seconds");
    return kExitRefused;
  }
  SignOptions signing;
  if (!a.certificate.empty()) {
    signing.program = FindSigningProgram();
    if (signing.program.empty()) {
      Say("--sign needs osslsigncode, which is not installed (Debian: apt-get install osslsigncode); "
          "or sign the setup file afterwards");
      return kExitRefused;
    }
    signing.certificate = a.certificate;
    signing.key = a.key;
    signing.passwordFile = a.passwordFile;
    signing.description = a.product->windowTitle;
    signing.time = sourceDateEpoch ? *sourceDateEpoch : int64_t(std::time(nullptr));
  }

  std::vector<uint8_t> stub;
  if (!ReadInput(a.stub, stub)) return kExitRefused;
  const size_t inStub = FindMarkerOccurrences(stub.data(), stub.size()).size();
  if (inStub != 1) {
    Say(a.stub + " holds the marker " + std::to_string(inStub) + " times, not once: not a setup program stub");
    return kExitRefused;
  }
  // The setup program would find the marker one byte early and hand it to the archive.
  if (!stub.empty() && stub.back() == uint8_t(PayloadMarker[0])) {
    Say(a.stub + " ends in a 0x55 byte, which the setup program would take for the start of the marker");
    return kExitRefused;
  }

  size_t certificate = 0, certificateSize = 0;
  if (FindCertificateTable(stub.data(), stub.size(), &certificate, &certificateSize)) {
    Say(a.stub + " is signed, and its signature would not cover the archive: use the unsigned stub, and --sign");
    return kExitRefused;
  }

  const std::string partial = a.out + ".mksetup-partial";
  uint64_t archiveSize = 0, fileSize = 0;
  size_t entries = 0;
  if (!WriteSetupFile(partial, stub, a, sourceDateEpoch, &archiveSize, &entries, &fileSize)) {
    Say("nothing written");
    return kExitRefused;
  }
  std::string error;
  std::string ready = partial;
  if (!signing.program.empty()) {
    const std::string signedPartial = a.out + ".mksetup-signed";
    bool done = false;
    // The signature changes with the signing time; a later second gives another one.
    for (int attempt = 0; attempt < 3 && !done; ++attempt, ++signing.time) {
      host::RemoveFile(signedPartial);
      if (!SignFile(signing, partial, signedPartial, &error)) {
        Say(error);
        break;
      }
      done = CheckOutputFile(signedPartial, a, true, &entries, &fileSize);
      if (!done && attempt + 1 < 3) Say("signing again with the signing time one second later");
    }
    host::RemoveFile(partial);
    if (!done) {
      host::RemoveFile(signedPartial);
      Say("nothing written");
      return kExitRefused;
    }
    ready = signedPartial;
  }
  if (!host::RenameOver(ready, a.out, &error)) {
    Say(error);
    host::RemoveFile(ready);
    return kExitRefused;
  }
  std::printf("%s: %s, %zu %s; %zu bytes of stub, the marker, %llu bytes of archive%s; %llu bytes\n",
              a.out.c_str(), a.product->productName, entries, entries == 1 ? "entry" : "entries", stub.size(),
              (unsigned long long)archiveSize, signing.program.empty() ? "" : ", signed",
              (unsigned long long)fileSize);
  return 0;
}

}  // namespace mksetup
