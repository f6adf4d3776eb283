// The window as the window system sees it: title, size, decorations.
#include "FltkDisplay.h"
#include "OpenWindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace guitest {
namespace {

using Layout = OpenWindow;

TEST_F(Layout, TitleIsStringInputForm) {
    std::string name = xdotool({"getwindowname", m_id});
    EXPECT_EQ(name, "StringInputForm\n");
}

TEST_F(Layout, ClientAreaIs284By50ScaledByTheFontCell) {
    int w = 0;
    int h = 0;
    windowSize(m_id, &w, &h);
    EXPECT_EQ(w, static_cast<int>(std::lround(284 * StringOut::FltkDisplay::scaleX())));
    EXPECT_EQ(h, static_cast<int>(std::lround(50 * StringOut::FltkDisplay::scaleY())));
    // The toolkit's font is larger than the 6 x 12 design cell, never smaller.
    EXPECT_GE(w, 284);
    EXPECT_GE(h, 50);
}

TEST_F(Layout, NoCloseMinimiseMaximiseOrWindowMenu) {
    testsupport::RunResult r = guitest::runInUtf8({"xprop", "-id", m_id, "_MOTIF_WM_HINTS"});
    ASSERT_EQ(r.status, 0);
    // "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x6, 0xe, 0x0, 0x0"
    const std::size_t eq = r.out.find('=');
    ASSERT_NE(eq, std::string::npos) << r.out;
    std::vector<long> v;
    std::istringstream in(r.out.substr(eq + 1));
    std::string item;
    while (std::getline(in, item, ',')) v.push_back(std::strtol(item.c_str(), nullptr, 16));
    ASSERT_EQ(v.size(), 5u) << r.out;
    EXPECT_EQ(v[0] & 0x3, 0x3);               // functions and decorations given
    EXPECT_EQ(v[1] & (1 | 8 | 16 | 32), 0);   // no all/minimise/maximise/close function
    EXPECT_NE(v[1] & 2, 0);                   // resizable
    EXPECT_EQ(v[2] & (1 | 16 | 32 | 64), 0);  // no all/menu/minimise/maximise decoration
    EXPECT_NE(v[2] & 8, 0);                   // a title bar
}

TEST_F(Layout, WindowIsResizable) {
    testsupport::RunResult r = guitest::runInUtf8({"xprop", "-id", m_id, "WM_NORMAL_HINTS"});
    ASSERT_EQ(r.status, 0);
    // A fixed-size window announces equal minimum and maximum sizes.
    EXPECT_EQ(r.out.find("program specified maximum size"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace guitest
