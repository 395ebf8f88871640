// Device and application services: what the peer asks of the device and the application.
// Returns the widgets it made.
var morvix = require("morvix");

exports.build = function (shell) {
    var made = [];
    function create(type, properties) {
        var created = morvix.create(type, properties);
        made.push(created);
        return created;
    }

    // How often the gallery was started, counted in the client store (a file in the documents
    // folder, so the count survives the run), and how long this run has lasted, counted by a
    // repeating one-second timer.
    var client = morvix._client;
    var started = (client.call("morvix.ClientStore", "get", {key: "gallery.started"}) || 0) + 1;
    client.call("morvix.ClientStore", "add", {key: "gallery.started", value: started});
    create("zub.widgets.Label", {parent: shell.id, bounds: [16, 16, 288, 24],
        text: "Started " + started + (started === 1 ? " time" : " times")});
    var seconds = 0;
    var running = create("zub.widgets.Label", {parent: shell.id, bounds: [16, 48, 288, 24], text: "Running for 0 s"});
    var timer = create("morvix.Timer", {delay: 1000, repeat: true});
    timer.on("Run", function () {
        seconds += 1;
        running.set({text: "Running for " + seconds + " s"});
    });
    timer.call("start");

    // A dialog with three buttons, the chosen one shown in a label; and one position asked of the
    // device, waited for until someone answers (morvix-run --location LAT,LON answers at once).
    var chosen = create("zub.widgets.Label", {parent: shell.id, bounds: [16, 144, 288, 24], text: "No button chosen"});
    var dialog = create("morvix.ClientDialog", {title: "Services", message: "Which button?",
        buttonNeutral: "Later", buttonCancel: "Cancel", buttonOk: "OK"});
    dialog.on("Selection", function (attributes) {
        chosen.set({text: "Chosen: " + attributes.buttonType});
    });
    create("zub.widgets.Button", {parent: shell.id, bounds: [16, 96, 288, 40], text: "Open a dialog", style: ["BORDER"]})
        .on("Selection", function () {
            dialog.call("open");
        });
    var position = create("zub.widgets.Label", {parent: shell.id, bounds: [16, 232, 288, 40], text: "No position asked"});
    var geolocation = create("morvix.Geolocation", {});
    geolocation.on("LocationUpdate", function (attributes) {
        position.set({text: attributes.latitude.toFixed(4) + ", " + attributes.longitude.toFixed(4)});
    });
    geolocation.on("LocationUpdateError", function (attributes) {
        position.set({text: "No position: " + attributes.errorCode});
    });
    create("zub.widgets.Button", {parent: shell.id, bounds: [16, 184, 288, 40], text: "Where am I?", style: ["BORDER"]})
        .on("Selection", function () {
            position.set({text: "waiting for a position"});
            geolocation.set({needsPosition: "ONCE"});
        });

    // Printing: the sample PDF shipped with the gallery, named by its relative URL, goes to the
    // print dialog; the answer shows in a label (morvix-run --print-to DIR writes the job there
    // and answers "Success").
    var printed = create("zub.widgets.Label", {parent: shell.id, bounds: [16, 336, 288, 24], text: "Nothing printed"});
    var printer = create("morvix.Printer", {});
    ["Success", "Cancel", "Error"].forEach(function (outcome) {
        printer.on(outcome, function (attributes) {
            printed.set({text: "Print: " + outcome + (attributes.message ? " (" + attributes.message + ")" : "")});
        });
    });
    create("zub.widgets.Button", {parent: shell.id, bounds: [16, 288, 288, 40], text: "Print", style: ["BORDER"]})
        .on("Selection", function () {
            printed.set({text: "Printing…"});
            printer.call("print", {url: "sample.pdf", jobName: "Gallery sample"});
        });

    return made;
};
