// The tests' main: every test reads URLs as the programs do, with libcurl's splitting.
#include <gtest/gtest.h>

#include "url_splitter.h"

int main(int argc, char** argv) {
    kolvane::test::InstallLinkedUrlSplitter();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
