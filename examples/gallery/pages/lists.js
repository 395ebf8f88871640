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

    // The list: the names of the months with a vertical scroll bar (without one it would not
    // scroll), a title bar and a detail button on every row.
    var months = ["January", "February", "March", "April", "May", "June", "July", "August", "September",
        "October", "November", "December"];
    var list = create("zub.widgets.List", {parent: shell.id, bounds: [0, 484, 320, 220], items: months,
        toolTip: "Months", data: {altSelection: "all"}});
    create("zub.widgets.ScrollBar", {parent: list.id, style: ["VERTICAL"]});
    list.on("Selection", function (attributes) {
        console.log("List: Selection " + JSON.stringify(attributes));
    });

    // The collection view: thirty items, every fifth a taller heading, in cells that hold labels
    // this script creates when a cell first needs one and fills whenever a cell shows an item.
    // The view asks with "requestinfo", "createitem" and "populateitem" and reads the answers
    // ("describeItem", "addItem") as soon as each event has been sent, which the script peer
    // allows; these are questions, not listened events, so they are taken here before the
    // library's own dispatch.
    var collection = create("morvix.CollectionView", {parent: shell.id, bounds: [0, 712, 320, 240],
        itemHeight: 36, background: [255, 255, 255]});
    var answers = {
        requestinfo: function (attributes) {
            collection.call("describeItem", attributes.index % 5 ? {type: 0} : {type: 1, height: 52});
        },
        createitem: function (attributes) {
            var heading = attributes.type === 1;
            var label = create("zub.widgets.Label", {parent: collection.id,
                font: [["Helvetica"], heading ? 17 : 14, heading, false],
                background: heading ? [230, 236, 250] : [255, 255, 255]});
            collection.call("addItem", {widget: label.id});
        },
        populateitem: function (attributes) {
            var index = attributes.index;
            var text = index % 5 ? "  Item " + index : "  Group " + (index / 5 + 1);
            morvix._client.set(attributes.widget, {text: text});
        }
    };
    var dispatch = morvix._notify;
    morvix._notify = function (id, event, attributes) {
        if (id === collection.id && answers[event])
            return answers[event](attributes);
        return dispatch(id, event, attributes);
    };
    collection.on("selection", function (attributes) {
        console.log("Collection: selection " + JSON.stringify(attributes));
    });
    collection.call("reload", {items: 30});
    return made;
};
