#include "core/script/BootScript.h"

namespace morvix {

namespace {

// Kept apart from the code around it so that it reads as the script it is.
constexpr std::string_view kBootScript = R"boot(
(function (global) {
    "use strict";

    var morvix = {};
    global.morvix = morvix;

    var PREFIX = "(function (module, exports, require, __filename, __dirname) { ";
    var POSTFIX = "\n});";
    var ALL_SUFFIXES = ["", ".js", ".json", "/package.json", "/index.js", "/index.json"];
    var DIRECTORY_SUFFIXES = ["/package.json", "/index.js", "/index.json"];

    function current() {
        return global.morvix;
    }

    function client() {
        return current()._client;
    }

    function endsWith(text, end) {
        return text.length >= end.length && text.substring(text.length - end.length) === end;
    }

    // Splits at "/", drops empty segments, keeps "." only in front and lets ".." take away the
    // segment before it. Returns null for a path that climbs above its start.
    function normalize(path) {
        var parts = path.split("/");
        var result = [];
        for (var i = 0; i < parts.length; i++) {
            var part = parts[i];
            if (part === "" || (part === "." && i > 0))
                continue;
            if (part === "..") {
                if (result.length === 0 || result[result.length - 1] === ".")
                    return null;
                result.pop();
                continue;
            }
            result.push(part);
        }
        return result.join("/");
    }

    // A module name as the file system sees it: its percent escapes undone, once, before the
    // path is normalised, so that an escaped "." or "/" cannot hide a ".." from the check that
    // keeps every module inside the application folder. Null for a malformed escape.
    function decode(name) {
        try {
            return decodeURIComponent(name);
        } catch (error) {
            return null;
        }
    }

    // The path as the bridge takes it, a URL relative to the application folder: each segment
    // escaped, so that the URL's own decoding gives back exactly this path. Null for text that
    // has no escaped form (a lone surrogate).
    function encode(path) {
        try {
            return path.split("/").map(encodeURIComponent).join("/");
        } catch (error) {
            return null;
        }
    }

    // Errors whose text names their place already.
    var located = new WeakSet();

    // "module:line:column" of an error (the module relative to the application folder), as
    // the bridge finds it; undefined when nothing places it.
    function locate(error) {
        var bridge = client();
        if (!bridge || typeof bridge.locate !== "function" || located.has(error))
            return undefined;
        return bridge.locate(error);
    }

    // An error's text led by its place: "lib/page.js:12:5: TypeError: ...".
    function describe(error) {
        var where;
        try {
            where = locate(error);
        } catch (ignored) {
            where = undefined;
        }
        return where ? where + ": " + error : String(error);
    }

    function directoryOf(id) {
        if (id.charAt(0) !== ".")
            return "./";
        var slash = id.lastIndexOf("/");
        return slash < 0 ? id : id.substring(0, slash);
    }

    function Module(id, parent, loader) {
        this.id = id;
        this.parent = parent;
        this.cache = parent ? parent.cache : {};
        this._loader = loader;
        this._loaded = false;
        this._exports = {};
    }

    Object.defineProperty(Module.prototype, "exports", {
        get: function () {
            if (!this._loaded) {
                this._loaded = true;
                var loader = this._loader;
                if (typeof loader === "function") {
                    var module = this;
                    loader.call(this._exports, this, this._exports, function (name) { return module.require(name); },
                        this.id.substring(1), directoryOf(this.id).substring(1));
                } else if (loader !== undefined) {
                    this._exports = loader;
                }
            }
            return this._exports;
        },
        set: function (value) {
            this._loaded = true;
            this._exports = value;
        }
    });

    Module.prototype.loadCandidate = function (path) {
        var cached = this.cache[path];
        if (cached !== undefined)
            return cached;
        var url = encode(path);
        var found = url === null ? false : this.readCandidate(path, url);
        this.cache[path] = found;
        return found;
    };

    // The module in the file at `path` (`url` in its escaped form); false when there is none.
    Module.prototype.readCandidate = function (path, url) {
        if (endsWith(path, ".json")) {
            var text = client().load(url);
            if (typeof text !== "string")
                return false;
            try {
                return new Module(path, this, JSON.parse(text));
            } catch (error) {
                throw new Error("Could not parse " + path);
            }
        }
        var result;
        try {
            result = client().loadAndExecute(url, PREFIX, POSTFIX);
        } catch (error) {
            var failure = new Error("Could not parse " + (locate(error) || path) + ": " + error);
            located.add(failure); // it names its place already
            throw failure;
        }
        return result && !result.loadError ? new Module(path, this, result.executeResult) : false;
    };

    Module.prototype.findPath = function (path, directoryOnly) {
        var suffixes = directoryOnly ? DIRECTORY_SUFFIXES : ALL_SUFFIXES;
        for (var i = 0; i < suffixes.length; i++) {
            var module = this.loadCandidate(path + suffixes[i]);
            if (!module)
                continue;
            if (suffixes[i] !== "/package.json")
                return module;
            var main = module.exports && module.exports.main;
            if (main === undefined || main === null)
                continue;
            main = decode(String(main));
            var mainPath = main === null ? null : normalize(path + "/" + main);
            var mainModule = mainPath === null ? false : this.findPath(mainPath, false);
            if (mainModule)
                return mainModule;
        }
        return false;
    };

    Module.prototype.findInModules = function (name) {
        var directory = directoryOf(this.id);
        while (directory !== null) {
            var path = normalize(directory + "/node_modules/" + name);
            var module = path === null ? false : this.findPath(path, endsWith(name, "/"));
            if (module)
                return module;
            directory = normalize(directory + "/..");
            if (directory !== null && endsWith(directory, "/node_modules"))
                directory = normalize(directory + "/..");
        }
        return false;
    };

    Module.prototype.resolve = function (name) {
        var decoded = decode(name);
        if (decoded === null)
            return false;
        if (decoded.charAt(0) !== ".")
            return this.cache[name] || this.findInModules(decoded);
        var path = normalize(directoryOf(this.id) + "/" + decoded);
        return path === null ? false : this.findPath(path, endsWith(decoded, "/"));
    };

    Module.prototype.require = function (name) {
        name = String(name);
        var module = this.resolve(name);
        if (!module)
            throw new Error("Cannot find module '" + name + "'");
        return module.exports;
    };

    morvix.Module = Module;

    // A version part as a number when it is one, so that 10 follows 9; as text otherwise.
    function comparePart(a, b) {
        a = a === undefined ? "" : a;
        b = b === undefined ? "" : b;
        if (/^[0-9]+$/.test(a) && /^[0-9]+$/.test(b))
            return Number(a) - Number(b);
        return a < b ? -1 : (a > b ? 1 : 0);
    }

    function checkVersion(bridge) {
        var nativeVersion = bridge.get("morvix.App", "morvixJsVersion");
        var moduleVersion = current().version;
        if (typeof nativeVersion !== "string" || moduleVersion === undefined || moduleVersion === null)
            return;
        var native = nativeVersion.split(".");
        var module = String(moduleVersion).split(".");
        var start = 'Version mismatch: JavaScript module "morvix" (version ' + moduleVersion + ") ";
        var range = "Supported module versions: " + native[0] + ".0.0 to " + nativeVersion + ".";
        if (comparePart(module[0], native[0]) !== 0) {
            console.error(start + "is incompatible with this native morvix platform. " + range);
            return;
        }
        var minor = comparePart(module[1], native[1]);
        if (minor > 0 || (minor === 0 && comparePart(module[2], native[2]) > 0))
            console.warn(start + "is newer than the native morvix platform. " + range);
    }

    // Logs the frames of an error's stack that name a place ("outer@file:///app/main.js:2:25").
    // Frames of code without a source, this script's and the bridge's own, name none ("@",
    // "runMain@") and tell the application's developer nothing.
    function logStack(error) {
        var stack = error && error.stack ? String(error.stack) : "";
        var frames = stack.split("\n").filter(function (frame) {
            return frame !== "" && frame.charAt(frame.length - 1) !== "@";
        });
        if (frames.length > 0)
            console.log(frames.join("\n"));
    }

    morvix._start = function (bridge) {
        global.global = global;
        global.self = global;
        current()._client = bridge;
        var root = new Module("./", null);
        try {
            root.require("morvix");
            current()._client = bridge;
        } catch (error) {
            console.error("Could not load morvix module: " + describe(error));
            logStack(error);
            return;
        }
        try {
            checkVersion(bridge);
            current()._defineModule = function (id, loader) {
                root.cache[id] = new Module(id, root, loader);
            };
            var script = document.createElement("script");
            script.src = "./cordova.js";
            document.head.appendChild(script);
            if (typeof current()._init === "function")
                current()._init(bridge);
            var runMain = function () {
                try {
                    root.require("./");
                    current().trigger("flush");
                } catch (error) {
                    console.error("Could not load main module: " + describe(error));
                    logStack(error);
                }
            };
            var entryPoint = current()._entryPoint;
            if (typeof entryPoint === "function") {
                entryPoint(runMain);
                delete current()._entryPoint;
            } else {
                runMain();
            }
            current().trigger("flush");
        } catch (error) {
            console.error(describe(error));
            logStack(error);
        }
    };

    // The bridge takes this function before the library loads; it hands each event to the
    // "_notify" the library installs later. Until then events go nowhere.
    var notify = function (id, event, attributes) {
        var target = current()._notify;
        if (typeof target === "function" && target !== notify)
            return target(id, event, attributes);
    };
    morvix._notify = notify;
})(this);
)boot";

} // namespace

std::string_view builtInBootScript()
{
    return kBootScript;
}

} // namespace morvix
