// Drawing: a canvas whose drawing context paints rectangles, a gradient, arcs, an ellipse,
// text and a picture from the gallery's folder, with finger drawing on; each stroke drawn on it
// is logged to the console. Beside it: a scrolled composite with a vertical bar, a button that
// opens a menu, and a refresh composite to pull down. Returns the widgets it made.
var morvix = require("morvix");

exports.build = function (shell) {
    var canvas = morvix.create("zub.widgets.Canvas", {parent: shell.id, bounds: [16, 16, 288, 300],
        background: [255, 255, 255], data: {clientCanvas: true}});
    var gc = morvix.create("zub.widgets.GC", {parent: canvas.id});
    gc.call("init", {width: 288, height: 300, fillStyle: [0, 0, 0], strokeStyle: [0, 122, 255],
        font: [["DejaVu Sans"], 16, true, false]});
    gc.call("draw", {operations: [
        // Rectangles: a filled one outlined, and one cleared out of it.
        ["fillStyle", [255, 204, 0]], ["lineWidth", 3], ["beginPath"], ["rect", 16, 16, 120, 70], ["fill"], ["stroke"],
        ["clearRect", 56, 36, 40, 30],
        // A gradient from red to green to blue.
        ["createLinearGradient", 152, 0, 272, 0], ["addColorStop", 0, [255, 59, 48]], ["addColorStop", 1, [52, 199, 89]],
        ["addColorStop", 2, [0, 122, 255]], ["fillStyle", "linearGradient"], ["beginPath"], ["rect", 152, 16, 120, 70],
        ["fill"],
        // Arcs: a three-quarter disc and a half circle outlined, both ways round.
        ["fillStyle", [88, 86, 214]], ["beginPath"], ["moveTo", 60, 140], ["arc", 60, 140, 40, 0, 1.5707964, true],
        ["closePath"], ["fill"],
        ["strokeStyle", [255, 59, 48]], ["lineWidth", 4], ["beginPath"], ["arc", 150, 140, 30, 0, 3.1415927, false],
        ["stroke"],
        // An ellipse, turned a little about its own centre.
        ["save"], ["translate", 230, 140], ["fillStyle", [255, 149, 0]], ["beginPath"],
        ["ellipse", 0, 0, 40, 20, 0.4, 0, 6.2831855, false], ["fill"], ["restore"],
        // Text on three lines, the last on the baseline, and outlined text to the right.
        ["fillStyle", [0, 0, 0]], ["textBaseline", "alphabetic"], ["fillText", "Drawn\non the\ndevice", false, true, false, 16, 262],
        ["strokeStyle", [0, 122, 255]], ["lineWidth", 1], ["textAlign", "right"],
        ["strokeText", "&Outline", true, false, false, 272, 262],
        // A picture at its own size and stretched.
        ["drawImage", "images/checker.png", 120, 200], ["drawImage", "images/checker.png", 0, 0, 8, 8, 200, 196, 40, 40],
        // The stroke style finger drawing uses.
        ["strokeStyle", [52, 199, 89]], ["lineWidth", 3], ["lineCap", "round"], ["lineJoin", "round"]
    ]});
    canvas.on("Drawing", function (attributes) {
        console.log("Drawing: " + attributes.drawings);
    });

    // A scrolled composite over content three times its height, scrolled a little, with a
    // vertical bar that reports where it is.
    var scrolled = morvix.create("zub.widgets.ScrolledComposite", {parent: shell.id, style: ["V_SCROLL"],
        bounds: [16, 328, 136, 120], background: [255, 255, 255]});
    var strips = morvix.create("zub.widgets.Composite", {parent: scrolled.id, layoutData: {height: 360}});
    [[255, 59, 48], [255, 149, 0], [255, 204, 0], [52, 199, 89], [0, 122, 255], [88, 86, 214]].forEach(function (color, index) {
        morvix.create("zub.widgets.Composite", {parent: strips.id, bounds: [8, 8 + index * 58, 120, 50], background: color});
    });
    var bar = morvix.create("zub.widgets.ScrollBar", {parent: scrolled.id, style: ["VERTICAL"]});
    bar.on("Selection", function () {
        console.log("Scrolled");
    });
    scrolled.set({origin: [0, 40]});

    // A menu that a button opens under itself, with a cascade.
    var menu = morvix.create("zub.widgets.Menu", {parent: shell.id});
    var more = morvix.create("zub.widgets.Menu", {parent: shell.id});
    morvix.create("zub.widgets.MenuItem", {parent: more.id, style: ["PUSH"], text: "Properties"});
    [["&Open", "PUSH"], ["Save &as...", "PUSH"], ["More", "CASCADE"]].forEach(function (entry, index) {
        var item = morvix.create("zub.widgets.MenuItem", {parent: menu.id, style: [entry[1]], text: entry[0], index: index,
            menu: entry[1] === "CASCADE" ? more.id : undefined});
        item.on("Selection", function () {
            console.log("Menu: " + entry[0]);
        });
    });
    var open = morvix.create("zub.widgets.Button", {parent: shell.id, bounds: [168, 328, 136, 36], text: "Menu"});
    open.on("Selection", function () {
        menu.call("showMenu", {x: 236, y: 364});
    });

    // A refresh composite: pulled down, it spins until the application says it is done.
    var refresh = morvix.create("morvix.widgets.RefreshComposite", {parent: shell.id, bounds: [168, 372, 136, 76],
        background: [255, 255, 255], message: "Refreshing", foreground: [0, 122, 255]});
    morvix.create("zub.widgets.Label", {parent: refresh.id, bounds: [8, 8, 120, 60], text: "Pull me down"});
    refresh.on("Refresh", function () {
        console.log("Refresh");
        setTimeout(function () {
            refresh.call("done");
        }, 1000);
    });

    // Image views of one small picture in each scale mode: "fit", "fill", "stretch", "none" and
    // "auto" (a picture smaller than its view is centred unscaled).
    ["fit", "fill", "stretch", "none", "auto"].forEach(function (mode, index) {
        morvix.create("morvix.ImageView", {parent: shell.id, bounds: [16 + index * 58, 460, 52, 36],
            background: [255, 255, 255], scaleMode: mode, image: ["images/checker.png", 16, 16]});
    });
    // Tab folders: one with the tab bar at the bottom (a badge on its second tab, and paging, so
    // that a swipe turns the pages too) and a small one with segments on top. Each tab shows a
    // label of its folder; the folders log the tabs people choose.
    function tabFolder(properties, tabs) {
        var folder = morvix.create("zub.widgets.TabFolder", properties);
        tabs.forEach(function (tab, index) {
            var page = morvix.create("zub.widgets.Label", {parent: folder.id, text: tab[1], background: tab[2],
                alignment: "center"});
            morvix.create("zub.widgets.TabItem", {parent: folder.id, index: index, text: tab[0], control: page.id,
                data: tab[3] ? {badgeValue: tab[3]} : {}});
        });
        folder.on("Selection", function (attributes) {
            console.log("Tab: " + attributes.selection);
        });
        return folder;
    }
    tabFolder({parent: shell.id, bounds: [16, 510, 288, 200], data: {paging: true}}, [
        ["&Inbox", "The inbox: swipe or tap a tab", [255, 255, 255]],
        ["Sent", "Sent mail", [232, 244, 255], "3"],
        ["Drafts", "Drafts", [255, 246, 224]]]);
    tabFolder({parent: shell.id, bounds: [16, 722, 288, 130], style: ["TOP"], foreground: [0, 122, 255]}, [
        ["Day", "Today", [255, 255, 255]],
        ["Week", "This week", [255, 255, 255]]]);

    // Tool bars: a flat one in plain colours with a title between its buttons and a separator,
    // and a plain one with its buttons on the left.
    function toolBar(properties, items) {
        var bar = morvix.create("zub.widgets.ToolBar", properties);
        items.forEach(function (item, index) {
            var tool = morvix.create("zub.widgets.ToolItem", {parent: bar.id, index: index, text: item[0],
                style: [item[1] || "PUSH"], data: item[1] === "TITLE" ? {title: true} : {}});
            tool.on("Selection", function () {
                console.log("Tool: " + item[0]);
            });
        });
        return bar;
    }
    toolBar({parent: shell.id, bounds: [16, 864, 288, 44], style: ["FLAT"], background: [0, 122, 255],
        foreground: [255, 255, 255]}, [["&Back"], ["", "SEPARATOR"], ["Mail", "TITLE"], ["Edit"]]);
    toolBar({parent: shell.id, bounds: [16, 920, 288, 44]}, [["New"], ["Open"], ["", "SEPARATOR"], ["Share"]]);

    // Media: a group whose titled area holds two labels, a browser showing an HTML string (drawn
    // by the web engine), and a video of the gallery's sample movie (three seconds of colour
    // bars with a tone), showing its first picture until the peer plays it.
    var group = morvix.create("zub.widgets.Group", {parent: shell.id, bounds: [16, 976, 288, 110], text: "Group",
        background: [255, 255, 255]});
    morvix.create("zub.widgets.Label", {parent: group.id, bounds: [12, 12, 264, 24], text: "A label in the group"});
    morvix.create("zub.widgets.Label", {parent: group.id, bounds: [12, 44, 264, 24], text: "And another one",
        foreground: [0, 122, 255]});
    var browser = morvix.create("zub.widgets.Browser", {parent: shell.id, bounds: [16, 1098, 288, 90],
        html: "<body style='margin:0;padding:8px 12px;font:13px sans-serif;background:#eef4ff'>" +
            "<h1 style='margin:0 0 4px;font-size:20px;color:#0a6ebd'>Hello</h1>" +
            "<p style='margin:0'>An HTML string in the browser, <b style='color:#c0392b'>drawn by the web " +
            "engine</b>.</p></body>"});
    browser.on("Progress", function () {
        console.log("Browser: loaded");
    });
    var video = morvix.create("morvix.widgets.Video", {parent: shell.id, bounds: [16, 1200, 288, 162],
        background: [0, 0, 0], url: "media/sample.webm"});
    video.on("Playback", function (attributes) {
        console.log("Video: " + attributes.playback);
    });
    return [canvas, gc, scrolled, menu, open, refresh];
};
