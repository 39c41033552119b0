// The Win32 window, driven by its controls' identifiers as a user and a
// screen reader reach them. What the window decides is the logic's and is
// tested in tests/window; here: that the real controls carry it out.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "cli/SortCommand.h"
#include "news/win32/LocalServer.h"
#include "support/TestSupport.h"
#include "ui/win32/Form1.h"
#include "ui/win32/ScriptedChooser.h"
#include "ui/win32/Text.h"
// After LocalServer.h: winsock2.h goes before windows.h.
#include "WindowDriver.h"
#include "io/Paths.h"

namespace marrowgate::test {
namespace {

using namespace driver;
using namespace std::chrono_literals;
using window::Control;

class Form1Test : public testing::Test {
protected:
    void SetUp() override {
        window::WindowSettings settings;
        settings.application_folder = dir / "app";
        // Nothing listens there: the news fails at once.
        settings.site = "http://127.0.0.1:9";
        std::filesystem::create_directories(settings.application_folder);
        form = std::make_unique<win32::Form1>(settings, chooser, dir / "settings" / "Marrowgate.ini");
        form->show(SW_SHOWNORMAL);
    }

    HWND item(Control control) const { return find_control(form->hwnd(), control); }
    bool pump(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
        return pump_until(done, [this](MSG& message) { return form->hwnd() && form->translate(message); }, limit);
    }
    void drop(const std::vector<std::filesystem::path>& files) {
        SendMessageW(item(Control::ListView1), WM_DROPFILES, reinterpret_cast<WPARAM>(drop_of(files)), 0);
    }
    std::filesystem::path sample(const char* name) const { return samples_dir() / name; }

    TempDir dir;
    ScriptedChooser chooser;
    BoxAnswerer boxes;
    std::unique_ptr<win32::Form1> form;
};

TEST_F(Form1Test, ListsChosenAndDroppedFilesAndNamesTheOneItRefuses) {
    // A folder whose name Windows can only hold in UTF-16.
    const auto folder = dir / L"Zo\u00eb" / L"Biblioth\u00e8que";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(sample("logic.p"), folder / "logik.p");
    write_file(folder / "neu.p", library_bytes({part("N1 SO8 I TTL 3 1 0 0 0")}, "*PADS-LIBRARY-PART-TYPES-V9*"));
    const HWND list = item(Control::ListView1);

    chooser.answers = {folder / "logik.p", sample("discretes.p")};
    click(item(Control::Command3));
    ASSERT_EQ(row_count(list), 1);
    EXPECT_EQ(cell(list, 0, 0), L"logik.p");
    EXPECT_EQ(cell(list, 0, 1), L"4");

    drop({folder / "neu.p"});
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find((folder / "neu.p").wstring()), std::wstring::npos) << "the box names the file";
    EXPECT_EQ(row_count(list), 1);

    // The next "+" starts where the last file was chosen, kept in the INI file.
    click(item(Control::Command3));
    ASSERT_EQ(chooser.questions.size(), 2u);
    EXPECT_EQ(chooser.questions[1].start_folder, folder);
    EXPECT_EQ(chooser.questions[1].filter_description, "Part-Type Files (*.p)");
    EXPECT_EQ(chooser.questions[1].filter_pattern, "*.p");
    ASSERT_EQ(row_count(list), 2);
    EXPECT_EQ(cell(list, 1, 0), L"discretes.p");
    EXPECT_EQ(boxes.texts.size(), 1u);
}

TEST_F(Form1Test, OptionsAndButtonsFollowTheListAndTheKeys) {
    const HWND list = item(Control::ListView1);
    const HWND execute = item(Control::Command1), remove = item(Control::Command4), file = item(Control::Command5);
    const HWND first = item(Control::Option1_0), last = item(Control::Option1_3);
    EXPECT_FALSE(IsWindowEnabled(first));
    EXPECT_FALSE(IsWindowEnabled(execute));
    EXPECT_EQ(caption_of(execute), L"Execute");
    EXPECT_EQ(text_of(execute), L"&Execute");
    EXPECT_EQ(caption_of(item(Control::lblLink)), L"http://127.0.0.1:9");

    drop({sample("logic.p")});
    EXPECT_TRUE(IsWindowEnabled(first));
    EXPECT_TRUE(IsWindowEnabled(remove));
    EXPECT_FALSE(IsWindowEnabled(execute));
    EXPECT_FALSE(shown(file));

    click(last);
    EXPECT_TRUE(checked(last));
    EXPECT_TRUE(shown(file));
    EXPECT_TRUE(IsWindowEnabled(execute));
    click(first);
    EXPECT_TRUE(checked(first));
    EXPECT_FALSE(checked(last));
    EXPECT_FALSE(shown(file));

    // Insert asks for a file as "+" does (cancelled here), and so does Return
    // on the focused "+"; Alt and the underlined letter choose an option.
    PostMessageW(list, WM_KEYDOWN, VK_INSERT, 0);
    EXPECT_TRUE(pump([&] { return chooser.questions.size() == 1; }));
    SetFocus(item(Control::Command3));
    PostMessageW(item(Control::Command3), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(pump([&] { return chooser.questions.size() == 2; }));
    PostMessageW(list, WM_SYSCHAR, L'l', 1 << 29);
    EXPECT_TRUE(pump([&] { return checked(item(Control::Option1_1)); }));

    // Delete on the selected row removes it; the options go with the last file.
    select_row(list, 0);
    SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(row_count(list), 0);
    EXPECT_FALSE(IsWindowEnabled(first));
    EXPECT_FALSE(checked(first));
    EXPECT_FALSE(IsWindowEnabled(remove));
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(Form1Test, TabGoesThroughTheControlsInTheirOrder) {
    drop({sample("logic.p")});
    click(item(Control::Option1_3));
    // One stop for the options, on the one chosen; the arrows move among them.
    const Control order[] = {Control::ListView1,     Control::Command3,  Control::Command4,
                             Control::chkAnyVersion, Control::Option1_3, Control::Command5,
                             Control::Command1,      Control::Command2,  Control::ListView1};
    HWND at = item(order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        at = GetNextDlgTabItem(form->hwnd(), at, FALSE);
        EXPECT_EQ(at, item(order[i])) << window::info(order[i]).name << " after " << window::info(order[i - 1]).name;
    }
}

// A library of that many small parts: a run of 200,000 takes a while.
std::string big_library(int parts) {
    std::string bytes = "*PADS-LIBRARY-PART-TYPES-V4*\r\n\r\n";
    for (int i = 0; i < parts; ++i) {
        bytes += "P" + std::to_string(i) + " SO14 I TTL 3 1 0 0 0\r\nTIMESTAMP 2024.03.11.09.15.02\r\n";
        bytes += "GATE 1 2 0\r\n1 0 L A\r\n2 0 S Y\r\n\r\n";
    }
    return bytes + "*END*\r\n";
}

TEST_F(Form1Test, ShowsTheHourglassWhileARunWorksAndTheCloseBoxStopsIt) {
    write_file(dir / "big.p", big_library(200000));
    drop({dir / "big.p"});
    click(item(Control::Option1_0));
    click(item(Control::Command1));
    const HWND top = form->hwnd();
    const auto hourglass = [&] {
        SendMessageW(top, WM_SETCURSOR, reinterpret_cast<WPARAM>(top), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
    };
    ASSERT_TRUE(pump(hourglass));
    ASSERT_TRUE(form->logic().running());
    SendMessageW(top, WM_CLOSE, 0, 0);
    EXPECT_TRUE(pump([&] { return !IsWindow(top); }, 2s));
    EXPECT_TRUE(file_names(dir / "app" / "lib").empty());
}

TEST(Form1News, TheNewsLineShowsTheLastLineOnceDownloaded) {
    LocalServer server(http("200 OK", "old news\r\nthe latest news\r\n"), false);
    TempDir dir;
    window::WindowSettings settings;
    settings.application_folder = dir.path();
    settings.site = server.site();
    ScriptedChooser chooser;
    win32::Form1 form(settings, chooser, dir / "Marrowgate.ini");
    const HWND news = find_control(form.hwnd(), Control::Text1);
    EXPECT_TRUE(pump_until([&] { return text_of(news) == L"News: the latest news"; })) << win32::utf8(text_of(news));
    EXPECT_NE(GetWindowLongW(news, GWL_STYLE) & ES_READONLY, 0) << "the news line can be edited";
}

struct RunCase : NamedCase {
    Control option;
    std::string sort;
};

class Form1RunTest : public Form1Test, public testing::WithParamInterface<RunCase> {};

TEST_P(Form1RunTest, ExecuteRunsToDoneAndWritesWhatTheCommandLineWrites) {
    const RunCase& run = GetParam();
    drop({sample("logic.p"), sample("discretes.p")});
    click(item(run.option));
    // The pad count asks for its decal library when "Execute" is pressed.
    chooser.answers.push_back(sample("footprints.d"));
    click(item(Control::Command1));
    const HWND status = item(Control::Label2);
    const HWND details = item(Control::cmdDetails);
    ASSERT_TRUE(pump([&] { return shown(details); })) << "Label2: " << win32::utf8(text_of(status));
    EXPECT_EQ(text_of(status), L"Done.");
    EXPECT_TRUE(shown(status));
    EXPECT_TRUE(shown(item(Control::cmdOpenFolder)));
    EXPECT_EQ(GetFocus(), details);
    EXPECT_FALSE(IsWindowEnabled(item(Control::Command1)));
    EXPECT_TRUE(IsWindowEnabled(item(Control::Command3)));

    const auto cli_folder = dir / "cli";
    std::vector<std::string> args = {"--sort", run.sort, "--app-folder", utf8_from_path(cli_folder)};
    if (run.sort == "pad-count") args.insert(args.end(), {"--decal-file", utf8_from_path(sample("footprints.d"))});
    args.insert(args.end(), {utf8_from_path(sample("logic.p")), utf8_from_path(sample("discretes.p"))});
    std::ostringstream out, err;
    ASSERT_EQ(cli::run_command_line(args, {out, err}, real_file_system()), cli::kFinished) << err.str();
    const auto written = folder_files(dir / "app" / "lib");
    EXPECT_FALSE(written.empty());
    EXPECT_EQ(written, folder_files(cli_folder / "lib"));
}

INSTANTIATE_TEST_SUITE_P(EveryKey, Form1RunTest,
                         testing::Values(RunCase{{"alphanumeric"}, Control::Option1_0, "alphanumeric"},
                                         RunCase{{"logic_family"}, Control::Option1_1, "logic-family"},
                                         RunCase{{"decal_name"}, Control::Option1_2, "decal-name"},
                                         RunCase{{"pad_count"}, Control::Option1_3, "pad-count"}),
                         case_name);

TEST_F(Form1Test, TheBoxOfARunWithManyWarningsStaysOnTheScreen) {
    // Every name met twice: a warning, and a line of the box, for each.
    std::vector<Lines> first, second;
    for (int i = 0; i < 80; ++i) {
        first.push_back(part("DUP" + std::to_string(i) + " SO8 I TTL 3 1 0 0 0"));
        second.push_back(part("DUP" + std::to_string(i) + " SO8 I CMOS 3 1 0 0 0"));
    }
    write_file(dir / "first.p", library_bytes(first));
    write_file(dir / "second.p", library_bytes(second));
    drop({dir / "first.p", dir / "second.p"});
    click(item(Control::Option1_0));
    click(item(Control::Command1));
    ASSERT_TRUE(pump([&] { return !boxes.texts.empty(); }));
    EXPECT_NE(boxes.texts[0].find(L"DUP1"), std::wstring::npos) << win32::utf8(boxes.texts[0]);
    EXPECT_TRUE(boxes.on_screen[0]);
}

// --- the program itself, as a child process ----------------------------------------------


// marrowgate.exe beside this test.
std::filesystem::path program_beside() {
    std::wstring self(MAX_PATH * 4, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return std::filesystem::path(self).parent_path() / "marrowgate.exe";
}

// marrowgate.exe started with `arguments`; ended, if it still runs, when
// this goes.
class Program : public Process {
public:
    explicit Program(const std::wstring& arguments) : Process(quoted_argument(program_beside()) + L" " + arguments) {}
    // Its window, once shown.
    HWND form() const { return find_form(id()); }
    // A box it shows.
    HWND box() const { return find_form(id(), kBoxClass); }
};

using Clock = std::chrono::steady_clock;

TEST(Form1Program, ShowsItsWindowWithinTwoSeconds) {
    TempDir dir;
    const auto started = Clock::now();
    Program program(L"--app-folder " + quoted_argument(dir / "app"));
    ASSERT_TRUE(program.started());
    HWND form = nullptr;
    EXPECT_TRUE(pump_until([&] { return (form = program.form()) != nullptr; }, {}, 20s));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    std::cout << "marrowgate.exe showed its window after " << took.count() << " ms\n";
    EXPECT_LT(took, 2s);
    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.wait(5s), std::optional<DWORD>(0));
}

struct ArgumentsCase : NamedCase {
    std::wstring arguments;
    DWORD status;
    std::wstring said;
};

class Form1ArgumentsTest : public testing::TestWithParam<ArgumentsCase> {};

TEST_P(Form1ArgumentsTest, AnswersInABox) {
    const ArgumentsCase& given = GetParam();
    Program program(given.arguments);
    ASSERT_TRUE(program.started());
    HWND box = nullptr;
    EXPECT_TRUE(pump_until([&] { return (box = program.box()) != nullptr; }, {}, 20s));
    const std::wstring said = box_text(box);
    EXPECT_NE(said.find(given.said), std::wstring::npos) << win32::utf8(said);
    click(ok_button(box));
    EXPECT_EQ(program.wait(5s), std::optional<DWORD>(given.status));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Form1ArgumentsTest,
    testing::Values(ArgumentsCase{{"version"}, L"--version", 0, L"Vorlane Marrowgate " MARROWGATE_VERSION},
                    ArgumentsCase{{"help"}, L"--help", 0, L"Usage: marrowgate [--app-folder DIR] [FILE...]"},
                    ArgumentsCase{{"unknown_option"}, L"--sort", 2, L"unknown option --sort"},
                    ArgumentsCase{{"no_folder"}, L"--app-folder", 2, L"--app-folder needs a value"}),
    case_name);

TEST(Form1Program, ExitDuringALongRunEndsTheProgramAtOnceAndLeavesLibAsItWas) {
    TempDir dir;
    const auto app = dir / "app";
    std::filesystem::create_directories(app / "lib");
    write_file(app / "lib" / "LIB_P.p", "what an earlier run wrote\r\n");
    write_file(dir / "big.p", big_library(200000));
    const auto before = folder_files(app / "lib");

    Program program(L"--app-folder " + quoted_argument(app) + L" " + quoted_argument(dir / "big.p"));
    ASSERT_TRUE(program.started());
    HWND form = nullptr;
    const auto listed = [&] {
        if (!form) form = program.form();
        return form && IsWindowEnabled(find_control(form, Control::Option1_0));
    };
    ASSERT_TRUE(pump_until(listed, {}, 30s)) << "the window lists the file named on its command line";
    click(find_control(form, Control::Option1_0));
    click(find_control(form, Control::Command1));
    // Exit as soon as the run shows it works. (The collection pass of the
    // three word keys reads on without looking for a stop; the copy pass
    // looks before its first part.)
    const HWND status = find_control(form, Control::Label2);
    EXPECT_TRUE(pump_until([&] { return text_of(status).rfind(L"Processing", 0) == 0; }, {}, 30s))
        << win32::utf8(text_of(status));
    click(find_control(form, Control::Command2));
    const auto pressed = Clock::now();
    const auto ended = program.wait(10s);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pressed);
    EXPECT_EQ(ended, std::optional<DWORD>(0));
    EXPECT_LT(took, 2s);
    EXPECT_TRUE(folder_files(app / "lib") == before) << "lib changed";
}

}  // namespace
}  // namespace marrowgate::test
