// A real automation client: creates the provider by its ProgIDs and evaluates rule documents
// through IDispatch, as scripts on an agent machine would. Exit code 0 when every check holds.
var failures = 0;

function check(what, actual, expected) {
    if (actual !== expected) {
        WScript.Echo("FAIL " + what + ": got " + actual + ", expected " + expected);
        failures++;
    }
}

function failureCode(provider, document) {
    try {
        provider.EvaluateRules(document);
    } catch (e) {
        return e.number;
    }
    return 0;
}

var E_FAIL = 0x80004005 - 0x100000000;
var E_POINTER = 0x80004003 - 0x100000000;
var OWN = "{DF407668-EC52-4582-8C1D-0C4D73E9530E}";

var provider = new ActiveXObject("Orvanta.KpxTarnRuleProvider");
check("holds", provider.EvaluateRules("<ruleset><and/></ruleset>"), true);
check("does not hold", provider.EvaluateRules("<ruleset><not><and/></not></ruleset>"), false);
check("rule for this provider",
      provider.EvaluateRules("<ruleset><rule engine='" + OWN + "'><not><and/></not></rule></ruleset>"),
      false);
check("not xml", failureCode(provider, "this is not xml"), E_FAIL);
check("rule without engine", failureCode(provider, "<ruleset><rule><and/></rule></ruleset>"),
      E_POINTER);
provider.Reserved();
check("after the second method", provider.EvaluateRules("<ruleset><and/></ruleset>"), true);

var versioned = new ActiveXObject("Orvanta.KpxTarnRuleProvider.1");
check("version-dependent ProgID", versioned.EvaluateRules("<ruleset><or><and/></or></ruleset>"),
      true);

WScript.Echo(failures === 0 ? "all checks hold" : failures + " checks failed");
WScript.Quit(failures === 0 ? 0 : 1);
