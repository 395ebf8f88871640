// Application shell and navigation: the samples of the frame's own machinery. Returns the
// widgets it made.
var morvix = require("morvix");

exports.build = function (shell) {
    var made = [];
    function create(type, properties) {
        var created = morvix.create(type, properties);
        made.push(created);
        return created;
    }

    // The developer console (morvix-run --console): one entry of each kind at start, and a
    // button whose error entry also flashes over the application.
    console.log("Shell page: a log entry");
    console.info("Shell page: an info entry");
    console.warn("Shell page: a warning");
    console.error("Shell page: an error");
    console.debug("Shell page: a debug entry");
    var logError = create("zub.widgets.Button", {parent: shell.id, bounds: [16, 192, 288, 40], text: "Log an error"});
    logError.on("Selection", function () {
        console.error("Log an error: Selection");
    });

    // A swipe of three labelled pages in a white holder; each finished swipe
    // logs the page shown.
    var holder = create("zub.widgets.Composite", {parent: shell.id, bounds: [16, 16, 288, 160], background: [255, 255, 255]});
    var swipe = create("morvix.Swipe", {parent: holder.id, bounds: [0, 0, 288, 160], itemCount: 3});
    [["First page: swipe left", [255, 255, 255]], ["Second page", [232, 244, 255]], ["Third and last page", [255, 246, 224]]]
        .forEach(function (page, index) {
            var label = create("zub.widgets.Label", {parent: swipe.id, bounds: [0, 0, 288, 160], text: page[0],
                background: page[1], alignment: "center"});
            swipe.call("add", {control: label.id, index: index});
        });
    swipe.on("Swipe", function (attributes) {
        console.log("Swipe: page " + attributes.item);
    });

    return made;
};
