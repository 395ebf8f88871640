// The sample application: a window with a label and a button; each press of the button
// changes the label's text.
var morvix = require("morvix");
var greeting = require("./lib/greeting");

console.info("Hello from the script peer (morvix script library " + morvix.version + ")");

var display = morvix.create("zub.widgets.Display");
var shell = morvix.create("zub.widgets.Shell", {parent: display.id, style: ["TITLE", "CLOSE"], text: "Hello", bounds: [0, 0, 320, 568], visibility: true});
var label = morvix.create("zub.widgets.Label", {parent: shell.id, text: greeting.text(0), bounds: [20, 40, 280, 30]});
var button = morvix.create("zub.widgets.Button", {parent: shell.id, text: "Press me", bounds: [20, 90, 280, 44]});

var presses = 0;
button.on("Selection", function () {
    presses += 1;
    label.set({text: greeting.text(presses)});
    console.log("Button pressed: " + greeting.text(presses));
});

console.log("Created", [display, shell, label, button].map(function (object) {
    return {id: object.id, type: object.type};
}));

morvix.on("flush", function () {
    console.debug("flush");
});
