#include "core/editor/ProjectCommands.h"

#include "support/FakeRunHost.h"

#include <gtest/gtest.h>

namespace mzb {
namespace {

using test::FakeRunHost;

const std::vector<std::string> kNames = {"alpha", "Docs", "mail"};

TEST(ProjectCommandsTest, NewPutsANameInItsSortedPlaceAndAsksBeforeTakingAnExistingOne) {
    struct Case {
        const char* typed;
        std::string name;
        int position;
    };
    const Case added[] = {{" Beta ", "Beta", 1},
                          {"A", "A", 0},
                          {"zeta", "zeta", 3},
                          {"docs2", "docs2", 2},
                          {"x=1", "x=1", 3}};
    for (const auto& c : added) {
        FakeRunHost host;
        const auto entry = ChooseNewProject(kNames, c.typed, host);
        ASSERT_TRUE(entry) << c.typed;
        EXPECT_EQ(entry->Name, c.name);
        EXPECT_EQ(entry->Position, c.position) << c.typed;
        EXPECT_TRUE(entry->Added);
        EXPECT_TRUE(host.questions.empty() && host.messages.empty());
        EXPECT_FALSE(EntryNewAdded(kNames, *entry)) << "not in the list yet";
    }

    FakeRunHost host;
    const auto overwrite = ChooseNewProject(kNames, " DOCS ", host);
    ASSERT_TRUE(overwrite);
    EXPECT_EQ(host.questions, std::vector<std::string>{"Project DOCS existe,do you overwrite?"});
    EXPECT_EQ(overwrite->Position, 1);
    EXPECT_FALSE(overwrite->Added);
    EXPECT_FALSE(EntryNewAdded(kNames, *overwrite)) << "Cancel leaves the existing project";

    host.answerYes = false;
    EXPECT_FALSE(ChooseNewProject(kNames, "Mail", host));
    EXPECT_EQ(host.questions.size(), 2u);
}

TEST(ProjectCommandsTest, NewRefusesNamesTheFileCannotHoldWithoutAsking) {
    for (const char* typed : {"   ", "a]b", "common"}) {
        FakeRunHost host;
        EXPECT_FALSE(ChooseNewProject(kNames, typed, host)) << typed;
        ASSERT_EQ(host.messages.size(), 1u) << typed;
        EXPECT_EQ(host.messages[0].kind, MessageKind::Warning);
        EXPECT_TRUE(host.questions.empty());
    }
}

TEST(ProjectCommandsTest, CancelTakesOutOnlyTheEntryNewAdded) {
    FakeRunHost host;
    const auto entry = ChooseNewProject(kNames, "beta", host);
    ASSERT_TRUE(entry);
    std::vector<std::string> shown = kNames;
    shown.insert(shown.begin() + entry->Position, entry->Name);
    EXPECT_EQ(EntryNewAdded(shown, *entry), 1);
    EXPECT_FALSE(EntryNewAdded(kNames, *entry));
}

TEST(ProjectCommandsTest, RenameRefusesAnotherProjectsNameAndIgnoresItsOwnInAnyCase) {
    struct Case {
        const char* typed;
        std::optional<std::string> renamed;
        std::optional<MessageKind> told;
    };
    const Case cases[] = {
        {" Papers ", "Papers", std::nullopt},        {"MAIL", std::nullopt, MessageKind::Error},
        {"docs", std::nullopt, std::nullopt},        {" Docs ", std::nullopt, std::nullopt},
        {"a]b", std::nullopt, MessageKind::Warning}, {"", std::nullopt, MessageKind::Warning},
    };
    for (const auto& c : cases) {
        FakeRunHost host;
        EXPECT_EQ(ChooseNewName(kNames, 1, c.typed, host), c.renamed) << c.typed;
        ASSERT_EQ(host.messages.size(), c.told ? 1u : 0u) << c.typed;
        if (c.told) {
            EXPECT_EQ(host.messages[0].kind, *c.told) << c.typed;
        }
    }
    FakeRunHost host;
    ChooseNewName(kNames, 1, "mail", host);
    EXPECT_EQ(host.messages.at(0).text, "Project Name exists,Rename fail!");
}

} // namespace
} // namespace mzb
