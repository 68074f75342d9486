// The certificate table of a signed PE image.
#include "tests/unit/mksetup_test_support.h"

using namespace testing_support;
using namespace mksetup;

namespace {

TEST(MksetupSignature, FindsTheCertificateTableOfAPeImage) {
  // A PE32+ header with 16 data directories; the fifth is the certificate table.
  std::string pe(0x200, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  Put32At(pe, 0x3C, 0x80);
  pe.replace(0x80, 4, std::string("PE\0\0", 4));
  Put16At(pe, 0x80 + 20, 240);          // size of the optional header
  Put16At(pe, 0x98, 0x20B);             // PE32+
  Put32At(pe, 0x98 + 108, 16);          // number of data directories
  size_t offset = 0, length = 0;
  EXPECT_FALSE(FindCertificateTable(Bytes(pe), pe.size(), &offset, &length)) << "unsigned";
  Put32At(pe, 0x98 + 112 + 32, 0x400);
  Put32At(pe, 0x98 + 112 + 36, 0x5C8);
  ASSERT_TRUE(FindCertificateTable(Bytes(pe), pe.size(), &offset, &length));
  EXPECT_EQ(0x400u, offset);
  EXPECT_EQ(0x5C8u, length);
  // Breaks: a header that claims to lie beyond the file.
  std::string cut = pe;
  Put32At(cut, 0x3C, 0x1F0);
  EXPECT_FALSE(FindCertificateTable(Bytes(cut), cut.size(), &offset, &length));
  // Breaks: fewer than five data directories.
  Put32At(pe, 0x98 + 108, 4);
  EXPECT_FALSE(FindCertificateTable(Bytes(pe), pe.size(), &offset, &length));
}

}  // namespace
