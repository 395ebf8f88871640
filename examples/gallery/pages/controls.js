// Basic controls: every kind of button, unselected and selected; a disabled push button, push
// buttons with a border and with an image, a wrapping title with a mnemonic, toggles on a colour and
// on a clear background, and two radio groups under two parents. Each button logs its events to the
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

    // Toggles: one on a colour of its own, and one selected on the clear background. Selected, a
    // toggle swaps its colours: the fill takes the foreground and the title the background (white
    // when that is clear), so a tap on the first shows a blue toggle with a yellow title.
    button(shell, {bounds: [16, 204, 136, 40], text: "Toggle", style: ["TOGGLE"], background: [255, 204, 0]});
    button(shell, {bounds: [168, 204, 136, 40], text: "Toggled", style: ["TOGGLE"], selection: true});

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

    // Value controls, each logging what it reports: two combo boxes (one with a selection and a
    // tool tip as its picker's title, one with none), date fields ("DATE" day first with full
    // stops, "TIME", and one with neither style, which reports nothing), a scale of 0 to 10,
    // progress bars (at 40 %, a spinner and a vertical bar) and a switch with its own colours.
    function value(type, properties, event) {
        properties.parent = shell.id;
        var created = morvix.create(type, properties);
        made.push(created);
        created.on(event, function (attributes) {
            console.log(type + " " + event + " " + JSON.stringify(attributes || {}));
        });
        return created;
    }
    value("zub.widgets.Combo", {bounds: [16, 452, 136, 30], items: ["Red", "Green", "Blue"], selectionIndex: 0,
        toolTip: "Colour"}, "Selection");
    value("zub.widgets.Combo", {bounds: [168, 452, 136, 30], items: ["Small", "Medium", "Large"]}, "Selection");
    value("zub.widgets.DateTime", {bounds: [16, 488, 136, 30], style: ["DATE"], datePattern: "DMY", dateSeparator: ".",
        year: 2024, month: 11, day: 31}, "Selection");
    value("zub.widgets.DateTime", {bounds: [168, 488, 136, 30], style: ["TIME"], hours: 9, minutes: 5}, "Selection");
    value("zub.widgets.DateTime", {bounds: [16, 524, 288, 30], year: 2024, month: 11, day: 31, hours: 9, minutes: 5},
        "Selection");
    value("zub.widgets.Scale", {bounds: [16, 560, 108, 31], minimum: 0, maximum: 10, selection: 3}, "Selection");
    value("zub.widgets.ProgressBar", {bounds: [130, 560, 56, 31], selection: 40}, "Selection");
    value("zub.widgets.ProgressBar", {bounds: [190, 560, 24, 31], style: ["INDETERMINATE"], foreground: [0, 122, 255]},
        "Selection");
    value("zub.widgets.ProgressBar", {bounds: [214, 560, 31, 31], style: ["VERTICAL"], selection: 70}, "Selection");
    value("morvix.Switch", {bounds: [253, 560, 51, 31], checked: true, thumbOnColor: [255, 204, 0],
        thumbOffColor: [255, 255, 255], trackOnColor: [52, 199, 89], trackOffColor: [229, 229, 234]}, "toggle");

    // Labels and a text view, in a panel below the page's first screen: a plain label, one with
    // markup, one wrapping its text, one cut after two lines with an ellipsis, one showing an
    // image, a zoomable image (double tap to zoom), and a text view of at most three lines.
    var texts = morvix.create("zub.widgets.Composite", {parent: shell.id, bounds: [0, 604, 320, 232],
        background: [255, 255, 255]});
    function label(properties) {
        properties.parent = texts.id;
        var created = morvix.create("zub.widgets.Label", properties);
        made.push(created);
        return created;
    }
    label({bounds: [16, 8, 136, 24], text: "A plain label"});
    label({bounds: [168, 8, 136, 24], markupEnabled: true, text: "<b>Bold</b>, <i>italic</i> and <big>big</big>"});
    label({bounds: [16, 40, 136, 64], style: ["WRAP"], text: "A wrapped label breaks its text between words."});
    label({bounds: [168, 40, 136, 40], style: ["WRAP"], maxLines: 2,
        text: "A label cut after two lines ends its last line with an ellipsis."});
    label({bounds: [16, 112, 136, 40], alignment: "center", image: ["images/checker.png", 16, 16]});
    label({bounds: [168, 88, 136, 64], data: {zoom: true}, image: ["images/checker.png", 16, 16],
        background: [239, 239, 244]});
    made.push(morvix.create("morvix.TextView", {parent: texts.id, bounds: [16, 160, 288, 64], maxLines: 3,
        text: "A text view shows read-only text, here at most three lines of it, wrapped between words and cut " +
            "at the end of the third line with an ellipsis when the text goes on for longer than that."}));
    // Text entry, in a panel below the labels: a one-line text with a placeholder, a bordered
    // multi-line text, text inputs (plain, password with its bullets, multi-line) and a text whose
    // data names a text replacement: typing "btw" there offers "by the way" above the caret.
    var entry = morvix.create("zub.widgets.Composite", {parent: shell.id, bounds: [0, 836, 320, 236],
        background: [239, 239, 244]});
    function entryWidget(type, properties, events) {
        properties.parent = entry.id;
        var created = morvix.create(type, properties);
        made.push(created);
        events.forEach(function (event) {
            created.on(event, function (attributes) {
                console.log(type + " " + event + " " + JSON.stringify(attributes || {}));
            });
        });
        return created;
    }
    entryWidget("zub.widgets.Text", {bounds: [16, 8, 288, 30], message: "One line of text"}, ["Modify", "DefaultSelection"]);
    entryWidget("zub.widgets.Text", {bounds: [16, 44, 288, 60], style: ["MULTI", "V_SCROLL", "BORDER"],
        text: "A multi-line text with a border;\nthe return key starts a new line."}, ["DefaultSelection"]);
    entryWidget("morvix.TextInput", {bounds: [16, 112, 136, 30], message: "Text input"}, ["modify", "accept"]);
    entryWidget("morvix.TextInput", {bounds: [168, 112, 136, 30], type: "password", text: "secret"}, ["accept"]);
    entryWidget("morvix.TextInput", {bounds: [16, 150, 288, 40], type: "multiline",
        text: "A multi-line text input scrolls its text."}, ["modify"]);
    var replacement = morvix.create("morvix.TextReplacement", {texts: {"btw": "by the way", "omw": "on my way"}});
    entryWidget("zub.widgets.Text", {bounds: [16, 198, 288, 30], message: "Type btw or omw",
        data: {textReplacement: replacement.id}}, ["Modify"]);
    return made;
};
