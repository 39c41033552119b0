#include "workspace/Folders.h"

#include <gtest/gtest.h>

#include "state/Module1.h"
#include "support/TestSupport.h"

namespace marrowgate::test {
namespace {

// The folders of a run are made where missing and kept where present. A file
// in the place of one fails the run (see the command line's failed runs) and
// keeps tmp from being made.
TEST(Folders, TmpMakedir) {
    TempDir dir;
    Module1 state;
    state.Application_Folder = dir.path();
    ASSERT_TRUE(tmp_makedir(state));
    write_file(lib_folder(state) / "LIB_A.p", "kept");
    std::filesystem::remove(tmp_folder(state));
    EXPECT_TRUE(tmp_makedir(state));  // lib present, tmp missing
    EXPECT_TRUE(std::filesystem::is_directory(tmp_folder(state)));
    EXPECT_EQ(read_file(lib_folder(state) / "LIB_A.p"), "kept");
    std::filesystem::remove_all(dir.path());
    std::filesystem::create_directory(dir.path());
    write_file(lib_folder(state), "");
    EXPECT_FALSE(tmp_makedir(state));
    EXPECT_FALSE(std::filesystem::exists(tmp_folder(state)));
}

}  // namespace
}  // namespace marrowgate::test
