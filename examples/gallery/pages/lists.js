// Lists, trees and collections: a drill-down tree with the default rows (images, detail lines,
// the detail button on branches) and a virtual tree of 200 declared rows drawn by a row template,
// which this script fills thirty rows at a time, in order, each time the tree asks for data.
// Returns the widgets it made.
var morvix = require("morvix");

exports.build = function (shell) {
    var made = [];
    function create(type, properties) {
        var created = morvix.create(type, properties);
        made.push(created);
        return created;
    }

    // The drill-down tree: fruit and vegetables, each with a few kinds one level down.
    var tree = create("zub.widgets.Grid", {parent: shell.id, bounds: [0, 0, 320, 232], itemCount: 3,
        toolTip: "Produce", linesVisible: true, data: {altSelection: "branch"}});
    create("zub.widgets.ScrollBar", {parent: tree.id, style: ["VERTICAL"]});
    var groups = [
        {title: "Fruit", detail: "Sweet things", kinds: ["Apple", "Pear", "Plum"]},
        {title: "Vegetables", detail: "Green things", kinds: ["Leek", "Kale"]},
        {title: "Nuts", detail: "A leaf, no children", kinds: []}
    ];
    groups.forEach(function (group, index) {
        var item = create("zub.widgets.GridItem", {parent: tree.id, index: index, itemCount: group.kinds.length,
            texts: [group.title, group.detail], images: [["images/checker.png", 16, 16]]});
        group.kinds.forEach(function (kind, position) {
            create("zub.widgets.GridItem", {parent: item.id, index: position, texts: [kind, "One of the " + group.title.toLowerCase()]});
        });
    });
    ["Selection", "Expand", "Collapse"].forEach(function (event) {
        tree.on(event, function (attributes) {
            console.log("Tree: " + event + " " + JSON.stringify(attributes));
        });
    });

    // The virtual tree: rows are placeholders until the script sends them. The script peer does
    // not hear "topItemIndex", so every "SetData" simply brings the next thirty rows.
    var declared = 200;
    var rows = create("zub.widgets.Grid", {parent: shell.id, bounds: [0, 240, 320, 236], style: ["VIRTUAL"],
        itemCount: declared, linesVisible: true, rowTemplate: [
            {type: "text", bindingIndex: 0, left: 12, top: 4, right: [50, 0], height: 20, font: [["Helvetica"], 15, true, false]},
            {type: "text", bindingIndex: 1, left: 12, bottom: 4, right: [50, 0], height: 16, foreground: [110, 110, 115]},
            {type: "text", bindingIndex: 2, left: [50, 0], right: 12, top: 0, bottom: 0, horizontalAlignment: "RIGHT",
                verticalAlignment: "CENTER", name: "count", selectable: true, foreground: [0, 122, 255]}
        ]});
    create("zub.widgets.ScrollBar", {parent: rows.id, style: ["VERTICAL"]});
    var filled = 0;
    function fill() {
        var end = Math.min(filled + 30, declared);
        for (; filled < end; ++filled)
            create("zub.widgets.GridItem", {parent: rows.id, index: filled,
                texts: ["Row " + filled, "Filled by the script", "#" + filled],
                background: filled % 2 ? [248, 248, 255] : [255, 255, 255]});
    }
    fill();
    rows.on("SetData", fill);
    rows.on("Selection", function (attributes) {
        console.log("Rows: Selection " + JSON.stringify(attributes));
    });
    return made;
};
