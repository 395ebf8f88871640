// The gallery: an application frame ("morvix.UI") with one top-level page per part of the widget
// set, each holding one composite that its page module fills, three actions and a search action.
var morvix = require("morvix");

// The page shown at start (and in `morvix-run --png`'s picture). Name another to look at it: the
// browser and the video are at the foot of "drawing".
var active = "controls";
var pages = [
    {name: "widgetFoundation", title: "Widget foundation", module: require("./pages/widgetFoundation"), height: 568},
    {name: "controls", title: "Basic controls", module: require("./pages/controls"), height: 1072},
    {name: "drawing", title: "Containers, menus, drawing and media", module: require("./pages/drawing"), height: 1380},
    {name: "lists", title: "Lists, trees and collections", module: require("./pages/lists"), height: 960},
    {name: "shell", title: "Application shell and navigation", module: require("./pages/shell")},
    {name: "services", title: "Device and application services", module: require("./pages/services")}
];

console.info("Morvix gallery (morvix script library " + morvix.version + ")");

var display = morvix.create("zub.widgets.Display");
// The pages' composites are made in this shell; the frame takes the shell itself off the screen
// and each page shows its composite.
var shell = morvix.create("zub.widgets.Shell", {parent: display.id, bounds: [0, 0, 320, 568], visibility: true});
var ui = morvix.create("morvix.UI", {shell: shell.id, foreground: [0, 122, 255], background: [248, 248, 248]});

function content(background) {
    return morvix.create("zub.widgets.Composite", {parent: shell.id, bounds: [0, 0, 320, 568], background: background});
}

var activeId;
// A page taller than the room between the bars scrolls: its composite sits in a scrolled
// composite with a vertical scroll bar, and the scrolled composite is the page's control.
function scrolledContent(height, background) {
    var scrolled = morvix.create("zub.widgets.ScrolledComposite", {parent: shell.id, style: ["V_SCROLL"],
        bounds: [0, 0, 320, 568], background: background});
    var inner = morvix.create("zub.widgets.Composite", {parent: scrolled.id, layoutData: {height: height}, background: background});
    morvix.create("zub.widgets.ScrollBar", {parent: scrolled.id, style: ["VERTICAL"]});
    return {control: scrolled, content: inner};
}

var made = [];
pages.forEach(function (page) {
    var holder = page.height ? scrolledContent(page.height, [239, 239, 244]) : null;
    var composite = holder ? holder.content : content([239, 239, 244]);
    var built = page.module.build(composite);
    var control = holder ? holder.control : composite;
    var created = morvix.create("morvix.Page", {title: page.title, topLevel: true, control: control.id, parent: ui.id});
    made.push({title: page.title, id: created.id});
    if (page.name === active)
        activeId = created.id;
    console.log(page.title + " page: " + (built && built.length !== undefined ? built.length + " widgets" : "built"));
});
// The frame answers with "ShowPage" whenever it switches to a top-level page.
var currentId = activeId;
ui.on("ShowPage", function (attributes) {
    currentId = attributes.pageId;
});
ui.set({activePage: activeId});

// The script peer supplies its own left drawer: one button per page. A button shows its page
// and closes the drawer; the frame shows the menu button on the top-level pages, and a pan from
// the left edge opens the drawer too.
var drawer = morvix.create("morvix.Drawer");
morvix.create("zub.widgets.Label", {parent: drawer.id, bounds: [16, 24, 248, 24], text: "Morvix gallery"});
made.forEach(function (page, index) {
    var button = morvix.create("zub.widgets.Button", {parent: drawer.id, bounds: [16, 60 + index * 48, 248, 40],
        text: page.title, style: ["FLAT"]});
    button.on("Selection", function () {
        ui.set({activePage: page.id});
        drawer.call("close");
    });
});

// Actions: a high-priority one in the navigation bar, a low-priority one at the left of the
// toolbar and a normal one after it, which opens an ordinary page (with a back button). The
// frame reports the way back; the page is then destroyed, and the next tap makes a new one.
function action(properties) {
    properties.parent = ui.id;
    var created = morvix.create("morvix.Action", properties);
    created.on("Selection", function () {
        console.log(properties.title + ": Selection");
    });
    return created;
}
action({title: "Add", placementPriority: "HIGH"});
action({title: "Info", placementPriority: "LOW"});
var details = action({title: "Details"});

// The search action: each "Modify" offers the words of a fixed list that begin with the query,
// and "Search" is logged.
var words = ["apple", "apricot", "avocado", "banana", "blackberry", "blueberry", "cherry", "grape", "lemon",
    "lime", "mango", "melon", "orange", "peach", "pear", "plum"];
var search = morvix.create("morvix.SearchAction", {title: "Search", message: "Find a fruit", parent: ui.id});
search.on("Modify", function (attributes) {
    var query = attributes.query.toLowerCase();
    search.set({proposals: query ? words.filter(function (word) { return word.indexOf(query) === 0; }) : []});
});
search.on("Search", function (attributes) {
    console.log("Search: " + attributes.query);
});

var detailsPage = null;
details.on("Selection", function () {
    console.log("Details: Selection");
    if (detailsPage)
        return;
    var composite = content([255, 255, 255]);
    morvix.create("zub.widgets.Composite", {parent: composite.id, bounds: [16, 16, 288, 120], background: [0, 122, 255]});
    detailsPage = morvix.create("morvix.Page", {title: "Details", control: composite.id, parent: ui.id});
    ui.set({activePage: detailsPage.id});
});
ui.on("ShowPreviousPage", function () {
    console.log("ShowPreviousPage");
    if (!detailsPage)
        return;
    detailsPage.destroy();
    detailsPage = null;
    ui.set({activePage: currentId});
});
