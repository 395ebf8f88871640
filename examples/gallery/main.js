// The gallery: a display and one shell per part of the widget set, each built by its page, and a
// modal dialog over them.
var morvix = require("morvix");

// Each page fills the screen in a shell of its own; the page named here is created last, so it is
// the one in front (and in `morvix-run --png`'s picture). Name another to look at it.
var front = "widgetFoundation";
var pages = [
    {name: "widgetFoundation", title: "Widget foundation", module: require("./pages/widgetFoundation")},
    {name: "controls", title: "Basic controls", module: require("./pages/controls")},
    {name: "drawing", title: "Containers, menus, drawing and media", module: require("./pages/drawing")}
];

console.info("Morvix gallery (morvix script library " + morvix.version + ")");

var display = morvix.create("zub.widgets.Display");
pages.sort(function (a, b) { return (a.name === front) - (b.name === front); });
pages.forEach(function (page) {
    var shell = morvix.create("zub.widgets.Shell", {parent: display.id, text: page.title,
        bounds: [0, 0, 320, 568], background: [239, 239, 244], visibility: true});
    var built = page.module.build(shell);
    console.log(page.title + " page: " + (built && built.length !== undefined ? built.length + " widgets" : "built"));
});

// A modal dialog over its shade, in the middle of the screen; its close button takes it away.
var dialog = morvix.create("zub.widgets.Shell", {parent: display.id, style: ["APPLICATION_MODAL", "TITLE", "CLOSE"],
    text: "A dialog", bounds: [30, 184, 260, 200], visibility: true});
morvix.create("zub.widgets.Composite", {parent: dialog.id, bounds: [20, 56, 220, 120], background: [0, 122, 255]});
dialog.on("Close", function () {
    dialog.destroy();
});
