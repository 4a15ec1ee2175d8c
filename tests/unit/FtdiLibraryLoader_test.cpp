// Finding the D2XX library: the emulator's, linked into this program, answers the transport's
// calls; a library that is missing or is not D2XX leaves every call failing, as a D2XX that
// reaches no bus would, and says why.
#include "FtdiLibraryLoader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FtdiLibraryLoader, TheLibraryInUseIsTheEmulatorThisProgramLinks)
{
    const FtdiLibraryLoader &loader = FtdiLibraryLoader::instance();
    ASSERT_TRUE(loader.isLoaded()) << loader.origin();
    EXPECT_NE(loader.origin().find(FtdiLibraryLoader::defaultName()), std::string::npos) << loader.origin();
    // FTDI's library tells its version; the emulator has no such function.
    EXPECT_EQ(loader.libraryVersion(), 0u);
    EXPECT_EQ(loader.functions().FT_CreateDeviceInfoList, &::FT_CreateDeviceInfoList);
    EXPECT_EQ(loader.functions().FT_Write, &::FT_Write);
    EXPECT_EQ(&ftdi(), &loader.functions());
}

struct UnusableCase
{
    const char *name;
    const char *library;
};

void PrintTo(const UnusableCase &unusable, std::ostream *out) { *out << unusable.name; }

class UnusableLibrary : public ::testing::TestWithParam<UnusableCase>
{
};

TEST_P(UnusableLibrary, EveryCallFailsAndTheLoaderSaysWhy)
{
    const FtdiLibraryLoader loader(GetParam().library);
    EXPECT_FALSE(loader.isLoaded());
    EXPECT_NE(loader.origin().find(GetParam().library), std::string::npos) << loader.origin();
    EXPECT_EQ(loader.libraryVersion(), 0u);

    const FtdiFunctions &d2xx = loader.functions();
    DWORD count = 7;
    EXPECT_EQ(d2xx.FT_CreateDeviceInfoList(&count), DWORD(FT_OTHER_ERROR));
    EXPECT_EQ(count, 7u) << "a failing call leaves its out-values alone";
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(d2xx.FT_Open(0, &handle), DWORD(FT_OTHER_ERROR));
    EXPECT_EQ(handle, nullptr);
    char byte = 0;
    DWORD moved = 3;
    EXPECT_EQ(d2xx.FT_Write(handle, &byte, 1, &moved), DWORD(FT_OTHER_ERROR));
    EXPECT_EQ(d2xx.FT_Read(handle, &byte, 1, &moved), DWORD(FT_OTHER_ERROR));
    EXPECT_EQ(moved, 3u);
    EXPECT_EQ(d2xx.FT_Close(handle), DWORD(FT_OTHER_ERROR));
#define VELMOR_EXPECT_ENTRY(function) EXPECT_NE(d2xx.function, nullptr) << #function;
    VELMOR_FTDI_FUNCTIONS(VELMOR_EXPECT_ENTRY)
#undef VELMOR_EXPECT_ENTRY
}

INSTANTIATE_TEST_SUITE_P(, UnusableLibrary,
                         ::testing::Values(UnusableCase{"Missing", "libvelmor-no-such-d2xx.so"},
                                           // The C library's maths: loads, but has none of D2XX's functions.
                                           UnusableCase{"NotD2xx", "libm.so.6"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
