#pragma once

// A project with every kind of content a document file keeps, for the tests that write and read projects.

#include <QImage>

#include "model/project/VQProject.h"
#include "model/style/ProjectStyle.h"
#include "platform/Image.h"

namespace velquine::testing {

// A project with every kind of content the document file keeps: texts, a changed style, a grid, base
// options, nodes with their own styles, shapes, layout options, an image, notes and links, folding, and
// a selection with a repeat. Affinities agree with the positions, as reading sets them from those.
inline VQProject richProject()
{
    VQProject project;
    project.title = "Bahnreise \xE2\x86\x92 Wien";
    project.author = "M. O'Brien";
    project.notes = "first line\nsecond \"line\"";
    project.projectStyle = ProjectStyle::midnight();
    project.projectStyle.current.backgroundColor = Color::white();
    project.grid.type = GridType::circles;
    project.grid.size = {12.0, 30.0};
    project.baseLayoutOptions = LayoutOptions{LayoutOptions::LayoutType::vertical,
                                              LayoutOptions::LayoutDirection::ascending,
                                              LayoutOptions::BranchType::line, true};

    Node root(7001, std::nullopt, project.projectStyle.current.rootNodeStyle);
    root.title = "Journey";
    root.center = {10, 20};
    root.size = {150, 60};
    root.shape = NodeShape::ellipse;
    root.childrenUIDs = {7002, 7003};
    root.createdTimestamp = 1700000000.5;
    root.layoutOptions = LayoutOptions{LayoutOptions::LayoutType::horizontal, LayoutOptions::LayoutDirection::balanced,
                                       LayoutOptions::BranchType::angular, false};
    Node left(7002, 7001, project.projectStyle.current.mainNodeStyle);
    left.title = "Tickets";
    left.url = "https://example.org/fahrplan?von=M%C3%BCnchen&nach=Wien";
    left.note = "Seat 42\tcar 7";
    left.center = {-200, 60};
    left.size = {100, 36};
    left.autoSize = false;
    left.shape = NodeShape::cloud;
    left.childrenShouldInheritShape = true;
    left.isFolded = true;
    left.childrenUIDs = {7004};
    left.modifiedTimestamp = 1700000300.25;
    left.horizontalAffinity = HorizontalAffinity::left;
    left.createdTimestamp = 1700000100.0;
    QImage bitmap(5, 7, QImage::Format_ARGB32);
    bitmap.fill(QColor(20, 120, 220));
    left.setImage(Image(bitmap));
    Node right(7003, 7001, project.projectStyle.current.mainNodeStyle);
    right.title = "Hotel";
    right.center = {220, -30};
    right.shape = NodeShape::diamond;
    right.verticalAffinity = VerticalAffinity::above;
    right.createdTimestamp = 1700000200.0;
    Node sub(7004, 7002, project.projectStyle.current.subNodeStyle);
    sub.title = "Reserve \xE2\x9C\x93";
    sub.center = {-380, 90};
    sub.shape = NodeShape::triangle;
    sub.style.isUnderlined = true;
    sub.horizontalAffinity = HorizontalAffinity::left;
    sub.createdTimestamp = 1700000300.0;
    Node loose(7005, std::nullopt, project.projectStyle.current.rootNodeStyle);
    loose.title = "Loose thought";
    loose.center = {500, 400};
    loose.shape = NodeShape::rect;
    loose.createdTimestamp = 1700000400.0;
    for (const Node& node : {root, left, right, sub, loose})
        project.graph.setNode(node, node.uid);
    project.selectedNodeUIDs = {7004, 7002, 7004};
    return project;
}

} // namespace velquine::testing
