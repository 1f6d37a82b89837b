// Inputs the fuzzers found, kept as plain cases.
#include "host/inifile.h"

#include <gtest/gtest.h>

#include <string>

namespace infemora {
namespace {

// inih cuts a line at its buffer size; a key long enough that the cut falls inside the value
// the reader hands it used to throw through inih's C code and end the program.
TEST(IniInput, KeysNearTheLineBufferSizeNeitherThrowNorDisturbTheNextKey) {
    for (std::size_t n = 180; n <= 215; ++n) {
        SCOPED_TRACE(n);
        TQVRMemIniFile ini;
        ASSERT_NO_THROW(ini =
                            TQVRMemIniFile::FromText("[S]\n" + std::string(n, 'k') + "=wert\nDanach=gut\n"));
        EXPECT_EQ(ini.ReadString("S", "Danach", ""), "gut");
    }
}

} // namespace
} // namespace infemora
