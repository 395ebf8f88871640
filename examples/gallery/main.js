// The gallery: a display and one shell per part of the widget set, each built by its page, and a
// modal dialog over them.
var morvix = require("morvix");
var widgetFoundation = require("./pages/widgetFoundation");

console.info("Morvix gallery (morvix script library " + morvix.version + ")");

var display = morvix.create("zub.widgets.Display");
var shell = morvix.create("zub.widgets.Shell", {parent: display.id, text: "Widget foundation",
    bounds: [0, 0, 320, 568], background: [239, 239, 244], visibility: true});

var page = widgetFoundation.build(shell);
console.log("Widget foundation page: " + page.length + " composites");

// A modal dialog over its shade, in the middle of the screen; its close button takes it away.
var dialog = morvix.create("zub.widgets.Shell", {parent: display.id, style: ["APPLICATION_MODAL", "TITLE", "CLOSE"],
    text: "A dialog", bounds: [30, 184, 260, 200], visibility: true});
morvix.create("zub.widgets.Composite", {parent: dialog.id, bounds: [20, 56, 220, 120], background: [0, 122, 255]});
dialog.on("Close", function () {
    dialog.destroy();
});
