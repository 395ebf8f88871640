// The gallery: a display and one shell per part of the widget set, each built by its page.
var morvix = require("morvix");
var widgetFoundation = require("./pages/widgetFoundation");

console.info("Morvix gallery (morvix script library " + morvix.version + ")");

var display = morvix.create("zub.widgets.Display");
var shell = morvix.create("zub.widgets.Shell", {parent: display.id, text: "Widget foundation",
    bounds: [0, 0, 320, 568], background: [239, 239, 244], visibility: true});

var page = widgetFoundation.build(shell);
console.log("Widget foundation page: " + page.length + " composites");
