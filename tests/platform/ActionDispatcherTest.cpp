#include "platform/ActionDispatcher.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace velquine;

namespace {

// A responder with registered commands that records what ran and answers validation from a table.
class Recorder : public Responder {
public:
    Recorder(std::string name, std::vector<std::string>& log, std::vector<std::string> selectors)
        : name_(std::move(name)), log_(log)
    {
        for (const std::string& selector : selectors)
            addAction(selector, [this, selector](const ActionItem* sender) {
                log_.push_back(name_ + " " + selector + (sender ? " from " + sender->title : ""));
            });
    }
    bool enabled = true;
    ControlState state = ControlState::off;
    std::string newTitle;
    bool hide = false;
    bool answersState = false;

    bool validateMenuItem(ActionItem& item) override
    {
        if (!newTitle.empty())
            item.title = newTitle;
        item.hidden = hide;
        item.state = state;
        return enabled;
    }
    bool validateToolbarItem(ActionItem&) override { return enabled; }
    bool respondsToToolbarItemState() const override { return answersState; }
    ControlState validateToolbarItemState(const ActionItem&) override { return state; }

private:
    std::string name_;
    std::vector<std::string>& log_;
};

ActionItem item(std::string action, std::string title = {}, ActionItemKind kind = ActionItemKind::menuItem)
{
    ActionItem result;
    result.action = std::move(action);
    result.title = std::move(title);
    result.kind = kind;
    return result;
}

} // namespace

TEST(ActionDispatcher, CommandsGoToTheFirstResponderThatHandlesThemInChainOrder)
{
    std::vector<std::string> log;
    Recorder text("text", log, {"copy:"});
    Recorder pane("pane", log, {"copy:", "changeTitle:"});
    Recorder graph("graph", log, {"copy:", "newChildNode:", "changeTitle:"});
    Recorder window("window", log, {"showExportWindow:", "newChildNode:"});
    Recorder app("app", log, {"showPreferencesPanel:"});
    ActionDispatcher::setApplicationResponder(&app);

    ActionDispatcher dispatcher;
    bool textFocused = true;
    dispatcher.setFocusChain([&]() -> std::vector<Responder*> {
        if (textFocused)
            return {&text, &pane};
        return {};
    });
    dispatcher.setChain({&pane, &graph, &window});
    EXPECT_EQ(dispatcher.chain(), (std::vector<Responder*>{&text, &pane, &graph, &window, &app}));

    ActionItem sender = item("copy:", "Copy");
    EXPECT_TRUE(dispatcher.sendAction("copy:", &sender));
    EXPECT_TRUE(dispatcher.sendAction("changeTitle:"));
    EXPECT_TRUE(dispatcher.sendAction("newChildNode:"));
    EXPECT_TRUE(dispatcher.sendAction("showPreferencesPanel:"));
    EXPECT_FALSE(dispatcher.sendAction("noSuchThing:"));
    EXPECT_FALSE(dispatcher.sendAction(""));
    textFocused = false;
    EXPECT_TRUE(dispatcher.sendAction("copy:"));
    EXPECT_EQ(log, (std::vector<std::string>{"text copy: from Copy", "pane changeTitle:", "graph newChildNode:",
                                              "app showPreferencesPanel:", "pane copy:"}));
    ActionDispatcher::setApplicationResponder(nullptr);
}

TEST(ActionDispatcher, DestroyedRespondersDropOutOfTheChain)
{
    std::vector<std::string> log;
    Recorder window("window", log, {"delete:"});
    auto graph = std::make_unique<Recorder>("graph", log, std::vector<std::string>{"delete:"});
    ActionDispatcher dispatcher;
    dispatcher.setChain({graph.get(), &window});
    EXPECT_EQ(dispatcher.targetForAction("delete:"), graph.get());
    graph.reset();
    EXPECT_EQ(dispatcher.targetForAction("delete:"), &window);
    {
        Recorder app("app", log, {"quit:"});
        ActionDispatcher::setApplicationResponder(&app);
        EXPECT_EQ(dispatcher.chain().size(), 2u);
    }
    EXPECT_EQ(ActionDispatcher::applicationResponder(), nullptr);
    EXPECT_EQ(dispatcher.chain(), std::vector<Responder*>{&window});
}

TEST(ActionDispatcher, MenuValidationWritesEnabledTitleHiddenAndEveryState)
{
    std::vector<std::string> log;
    Recorder graph("graph", log, {"toggleNodeBold:", "autoLayoutSelectedNode:"});
    ActionDispatcher dispatcher;
    dispatcher.setChain({&graph});

    ActionItem bold = item("toggleNodeBold:", "Bold");
    for (ControlState state : {ControlState::on, ControlState::mixed, ControlState::off}) {
        graph.state = state;
        EXPECT_TRUE(dispatcher.validateMenuItem(bold));
        EXPECT_EQ(bold.state, state);
    }
    graph.enabled = false;
    graph.newTitle = "Layout \"Root\" and Children";
    graph.hide = true;
    ActionItem layout = item("autoLayoutSelectedNode:", "Auto Layout");
    EXPECT_FALSE(dispatcher.validateMenuItem(layout));
    EXPECT_FALSE(layout.enabled);
    EXPECT_TRUE(layout.hidden);
    EXPECT_EQ(layout.title, "Layout \"Root\" and Children");

    // Nothing in the chain handles it, or the item has no action: disabled.
    ActionItem orphan = item("honkhonk:");
    EXPECT_FALSE(dispatcher.validateMenuItem(orphan));
    ActionItem none;
    EXPECT_FALSE(dispatcher.validateMenuItem(none));
}

TEST(ActionDispatcher, ToolbarValidationTakesTheStateOnlyFromTargetsThatAnswerIt)
{
    std::vector<std::string> log;
    Recorder graph("graph", log, {"toggleNodeFocus:"});
    ActionDispatcher dispatcher;
    dispatcher.setChain({&graph});
    graph.state = ControlState::on;
    ActionItem focus = item("toggleNodeFocus:", "", ActionItemKind::toolbarItem);
    EXPECT_TRUE(dispatcher.validateToolbarItem(focus));
    EXPECT_EQ(focus.state, ControlState::off); // graph does not answer states yet
    graph.answersState = true;
    dispatcher.validateToolbarItem(focus);
    EXPECT_EQ(focus.state, ControlState::on);
    graph.enabled = false;
    EXPECT_FALSE(dispatcher.validateToolbarItem(focus));
}
