// Runs the operator tool "skinpack" as a process: its exit codes and output.

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "tools/ToolRun.h"
#include "platform/Utf8.h"
#include "toolkit/AttributeValue.h"
#include "toolkit/DialogBuilder.h"
#include "toolkit/Markup.h"
#include "toolkit/SkinArchive.h"
#include "toolkit/UIResources.h"

namespace {

using tooltest::Quote;

// The tool's exit code; its output is not looked at.
int RunTool(const std::string& args) {
    const testsupport::TempDir folder;
    return tooltest::RunTool(SKINPACK_TOOL, args, folder.Path()).exitCode;
}

TEST(SkinPackTool, ExitCodesFollowTheFailingSide) {
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir / "skin" / "images");
    testsupport::WriteFileBytes(dir / "skin" / "main.xml", "<Window/>");
    testsupport::WriteFileBytes(dir / "skin" / "images" / "bg.png", "png");
    // One row per failing side: which inputs fail on which side is the
    // packer's own test.
    struct Case {
        std::string args;
        int exitCode;
    };
    const Case cases[] = {
        {"", 2},
        {Quote(dir / "skin"), 2},
        {Quote(dir / "skin") + " " + Quote(dir / "a.dat") + " extra", 2},
        {"'' " + Quote(dir / "a.dat"), 2},
        {"--help", 0},
        {Quote(dir / "missing") + " " + Quote(dir / "a.dat"), 1},
        {Quote(dir / "skin") + " " + Quote(dir / "no-folder" / "a.dat"), 1},
    };
    for (const Case& c : cases) EXPECT_EQ(RunTool(c.args), c.exitCode) << c.args;
    EXPECT_FALSE(std::filesystem::exists(dir / "a.dat"));

    ASSERT_EQ(RunTool(Quote(dir / "skin") + " " + Quote(dir / "bt.dat")), 0);
    const auto archive = DuiLib::SkinArchive::Open(dir / "bt.dat");
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->EntryCount(), 2u);
    std::string bytes;
    EXPECT_TRUE(archive->Find("images/bg.png", bytes));
    EXPECT_EQ(bytes, "png");
}

bool IsImageAttribute(const std::wstring& name) {
    return name.size() > 5 && name.compare(name.size() - 5, 5, L"image") == 0;
}

void ExpectImageReadable(const std::wstring& attribute, const wchar_t* value) {
    DuiLib::ImageSpec image;
    ASSERT_TRUE(DuiLib::ParseImageValue(value, image)) << platform::ToUtf8(attribute) << "=" << platform::ToUtf8(value);
    std::string bytes;
    EXPECT_TRUE(DuiLib::UIResources::ReadResource(image.file, bytes) && !bytes.empty())
        << platform::ToUtf8(attribute) << " names a missing image " << platform::ToUtf8(image.file);
}

// Every image a layout names, directly or in a <Default> list, is in the archive.
void ExpectImagesPresent(const DuiLib::CMarkupNode& root) {
    std::vector<DuiLib::CMarkupNode> pending{root};
    while (!pending.empty()) {
        const DuiLib::CMarkupNode node = pending.back();
        pending.pop_back();
        for (int i = 0; i < node.GetAttributeCount(); ++i) {
            if (IsImageAttribute(node.GetAttributeName(i))) {
                ExpectImageReadable(node.GetAttributeName(i), node.GetAttributeValue(i));
            }
        }
        if (std::wcscmp(node.GetName(), L"Default") == 0 && node.GetAttributeValue(L"value")) {
            DuiLib::ForEachAttributePair(node.GetAttributeValue(L"value"), [](const wchar_t* name, const wchar_t* value) {
                if (IsImageAttribute(name)) ExpectImageReadable(name, value);
            });
        }
        for (auto child = node.GetChild(); child.IsValid(); child = child.GetSibling()) pending.push_back(child);
    }
}

TEST(SkinPackTool, EveryLayoutOfTheBuiltSkinBuilds) {
    const std::filesystem::path archivePath = std::filesystem::path(LAUNCHER_BINARY_DIR) / "bt.dat";
    const auto archive = DuiLib::SkinArchive::Open(archivePath);
    ASSERT_NE(archive, nullptr) << "bt.dat is made by the bt_dat target";
    DuiLib::UIResources::SetResourceZip(archivePath.wstring());
    int layouts = 0;
    for (const std::string& name : archive->EntryNames()) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".xml") != 0) continue;
        SCOPED_TRACE(name);
        ++layouts;
        DuiLib::CMarkup markup;
        ASSERT_TRUE(markup.LoadFromFile(platform::ToWide(name).c_str())) << platform::ToUtf8(markup.GetLastErrorMessage());
        EXPECT_STREQ(markup.GetRoot().GetName(), L"Window");
        ExpectImagesPresent(markup.GetRoot());
        DuiLib::CDialogBuilder builder;
        std::unique_ptr<DuiLib::CControlUI> root(builder.Create(platform::ToWide(name).c_str()));
        EXPECT_NE(root, nullptr) << platform::ToUtf8(builder.GetLastError());
    }
    DuiLib::UIResources::SetResourceZip(L"");
    EXPECT_GT(layouts, 0);
}

}  // namespace
