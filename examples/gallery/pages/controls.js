// Basic controls: every kind of button, unselected and selected; a disabled push button, push
// buttons with a border and with an image, a wrapping title with a mnemonic, a toggle on a clear
// background and two radio groups under two parents. Each button logs its events to the
// console. Returns the buttons it made.
var morvix = require("morvix");

exports.build = function (shell) {
    var made = [];
    // Made with a listener for "Selection", or for the event named.
    function button(parent, properties, event) {
        event = event || "Selection";
        properties.parent = parent.id;
        var created = morvix.create("zub.widgets.Button", properties);
        made.push(created);
        created.on(event, function (attributes) {
            var state = attributes && attributes.selection !== undefined ? " " + attributes.selection : "";
            console.log(properties.text + ": " + event + state);
        });
        return created;
    }
    function group(properties) {
        properties.parent = shell.id;
        return morvix.create("zub.widgets.Composite", properties);
    }

    // Push buttons: plain, with a border, with an image, and disabled.
    button(shell, {bounds: [16, 16, 136, 40], text: "Push"});
    button(shell, {bounds: [168, 16, 136, 40], text: "Bordered", style: ["BORDER"]});
    button(shell, {bounds: [16, 64, 136, 40], text: "Image", image: ["images/checker.png", 16, 16]});
    button(shell, {bounds: [168, 64, 136, 40], text: "Disabled", enabled: false});

    // Flat buttons, the second with an image.
    button(shell, {bounds: [16, 112, 136, 40], text: "Flat", style: ["FLAT"]});
    button(shell, {bounds: [168, 112, 136, 40], text: "Flat image", style: ["FLAT"], image: ["images/checker.png", 16, 16]});

    // Check boxes, unselected and selected.
    button(shell, {bounds: [16, 160, 136, 36], text: "Check", style: ["CHECK"]});
    button(shell, {bounds: [168, 160, 136, 36], text: "Checked", style: ["CHECK"], selection: true});

    // Toggles: on the clear background (white title once selected) and on a colour of its own.
    button(shell, {bounds: [16, 204, 136, 40], text: "Toggle", style: ["TOGGLE"]});
    button(shell, {bounds: [168, 204, 136, 40], text: "Toggled", style: ["TOGGLE"], background: [255, 204, 0],
        selection: true});

    // Two radio groups: selecting in one leaves the other alone.
    var left = group({bounds: [16, 252, 136, 112], background: [255, 255, 255]});
    var right = group({bounds: [168, 252, 136, 112], background: [255, 255, 255]});
    ["One", "Two", "Three"].forEach(function (text, index) {
        button(left, {bounds: [4, 4 + 36 * index, 128, 32], text: text, style: ["RADIO"], selection: index === 0});
        button(right, {bounds: [4, 4 + 36 * index, 128, 32], text: text, style: ["RADIO"], selection: index === 2});
    });

    // A title on two lines with a mnemonic marker, which is not shown; it reports
    // "DefaultSelection". "WRAP" comes before the text, which would otherwise lose its newline.
    button(shell, {bounds: [16, 380, 288, 64], style: ["WRAP", "BORDER"],
        text: "A &wrapped title\nover two lines"},
        "DefaultSelection");
    return made;
};
