#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace velquine;

TEST(NotificationCenter, PostReachesTheObserversOfThatNameInTheOrderAdded)
{
    NotificationCenter center;
    std::vector<std::string> got;
    center.addObserver("UIModeDidSwitch", [&](const Notification& n) { got.push_back("first " + n.name); });
    center.addObserver("collisionDedectionModeDidSwitch", [&](const Notification& n) { got.push_back("other " + n.name); });
    center.addObserver("UIModeDidSwitch", [&](const Notification& n) { got.push_back("second " + n.name); });
    center.addObserver("", [&](const Notification& n) { got.push_back("any " + n.name); });

    center.post("UIModeDidSwitch");
    EXPECT_EQ(got, (std::vector<std::string>{"first UIModeDidSwitch", "second UIModeDidSwitch", "any UIModeDidSwitch"}));
    got.clear();
    center.post("collisionDedectionModeDidSwitch");
    EXPECT_EQ(got, (std::vector<std::string>{"other collisionDedectionModeDidSwitch", "any collisionDedectionModeDidSwitch"}));
    got.clear();
    center.post("uimodedidswitch"); // names are exact
    EXPECT_EQ(got, (std::vector<std::string>{"any uimodedidswitch"}));
}

TEST(NotificationCenter, ASenderFilterLimitsToThatObject)
{
    NotificationCenter center;
    int panel = 0, otherPanel = 0;
    std::vector<const void*> fromPanel, fromAnyone;
    center.addObserver("windowWillClose", [&](const Notification& n) { fromPanel.push_back(n.object); }, nullptr, &panel);
    center.addObserver("windowWillClose", [&](const Notification& n) { fromAnyone.push_back(n.object); });
    center.post("windowWillClose", &otherPanel);
    center.post("windowWillClose", &panel);
    center.post("windowWillClose");
    EXPECT_EQ(fromPanel, (std::vector<const void*>{&panel}));
    EXPECT_EQ(fromAnyone, (std::vector<const void*>{&otherPanel, &panel, nullptr}));
}

TEST(NotificationCenter, RemovingByTokenOrByOwner)
{
    NotificationCenter center;
    int owner = 0;
    int calls = 0;
    const auto a = center.addObserver("N", [&](const Notification&) { calls += 1; });
    center.addObserver("N", [&](const Notification&) { calls += 10; }, &owner);
    center.addObserver("M", [&](const Notification&) { calls += 100; }, &owner);
    EXPECT_NE(a, 0u);
    EXPECT_EQ(center.observerCount(), 3u);
    center.removeObserversOf(&owner);
    EXPECT_EQ(center.observerCount(), 1u);
    center.post("N");
    center.post("M");
    EXPECT_EQ(calls, 1);
    center.removeObserver(a);
    center.removeObserver(a); // twice is harmless
    center.post("N");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount(), 0u);
}

TEST(NotificationCenter, AnObserverMayRemoveItselfOrOthersDuringAPost)
{
    NotificationCenter center;
    std::vector<std::string> got;
    NotificationCenter::Token self = 0, victim = 0;
    // The handler's captured text must still be alive after it removed its own registration.
    auto text = std::make_shared<std::string>("self-removing");
    self = center.addObserver("N", [&, text](const Notification&) {
        center.removeObserver(self);
        got.push_back(*text);
        center.removeObserver(victim);
    });
    text.reset();
    victim = center.addObserver("N", [&](const Notification&) { got.push_back("victim"); });
    center.addObserver("N", [&](const Notification&) { got.push_back("last"); });

    center.post("N");
    EXPECT_EQ(got, (std::vector<std::string>{"self-removing", "last"}));
    got.clear();
    center.post("N");
    EXPECT_EQ(got, (std::vector<std::string>{"last"}));
}

TEST(NotificationCenter, ObserversAddedDuringAPostHearOnlyLaterPosts)
{
    NotificationCenter center;
    std::vector<std::string> got;
    bool added = false;
    center.addObserver("N", [&](const Notification&) {
        got.push_back("adder");
        if (!added) {
            added = true;
            center.addObserver("N", [&](const Notification&) { got.push_back("late"); });
        }
    });
    center.post("N");
    EXPECT_EQ(got, (std::vector<std::string>{"adder"}));
    center.post("N");
    EXPECT_EQ(got, (std::vector<std::string>{"adder", "adder", "late"}));
}

TEST(NotificationCenter, PostingIsSynchronousOnThePostingThreadAndMayNest)
{
    NotificationCenter center;
    std::vector<std::string> got;
    std::thread::id deliveredOn;
    center.addObserver("outer", [&](const Notification&) {
        got.push_back("outer begins");
        center.post("inner");
        got.push_back("outer ends");
    });
    center.addObserver("inner", [&](const Notification&) {
        got.push_back("inner");
        deliveredOn = std::this_thread::get_id();
    });
    std::thread::id poster;
    std::thread([&] {
        poster = std::this_thread::get_id();
        center.post("outer");
    }).join();
    EXPECT_EQ(got, (std::vector<std::string>{"outer begins", "inner", "outer ends"}));
    EXPECT_EQ(deliveredOn, poster);
}

TEST(NotificationCenter, TheDefaultCenterIsOneObject)
{
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    int calls = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver("UIModeDidSwitch", [&](const Notification&) { ++calls; });
    NotificationCenter::defaultCenter().post("UIModeDidSwitch");
    NotificationCenter::defaultCenter().removeObserver(token);
    NotificationCenter::defaultCenter().post("UIModeDidSwitch");
    EXPECT_EQ(calls, 1);
}
