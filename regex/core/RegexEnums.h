#pragma once

namespace tramex {

// The enumerations of the regular-expression component, shared by both of
// its interfaces (QString and std::string). The numbers are the component's
// own; they are stored in archives and never handed to the engine as they
// are (EngineFlags translates them by name).
struct RegexEnums
{
    // Compile options: single syntax switches 0 to 12, syntax families 13 to 21.
    enum Options {
        escape_in_lists = 0,
        char_classes = 1,
        intervals = 2,
        limited_ops = 3,
        newline_alt = 4,
        bk_plus_qm = 5,
        bk_braces = 6,
        bk_parens = 7,
        bk_refs = 8,
        bk_vbar = 9,
        literal = 10,
        icase = 11,
        nocollate = 12,
        basic = 13,
        extended = 14,
        normal = 15,
        emacs = 16,
        awk = 17,
        grep = 18,
        egrep = 19,
        sed = 20,
        perl = 21
    };

    enum Matches {
        match_default = 0,
        match_not_bol = 1,
        match_not_eol = 2,
        match_not_bob = 3,
        match_not_eob = 4,
        match_not_bow = 5,
        match_not_eow = 6,
        match_not_dot_newline = 7,
        match_not_dot_null = 8,
        match_any = 9,
        match_not_null = 10,
        match_continuous = 11,
        match_partial = 12
    };

    enum FormatTypes {
        format_all = 0,
        format_sed = 1,
        format_perl = 2
    };

    enum LocaleModels {
        standard_locale = 0,
        // The system's native locale (the user's language settings).
        win32_locale = 1,
        runtime_library_locale = 2
    };

    enum ExpressionErrorCode {
        no_error = 0,
        empty_expression = 1,
        error_bad_pattern = 2,
        error_collate = 3,
        error_ctype = 4,
        error_escape = 5,
        error_backref = 6,
        error_brack = 7,
        error_paren = 8,
        error_brace = 9,
        error_badbrace = 10,
        error_range = 11,
        error_space = 12,
        error_badrepeat = 13,
        error_end = 14,
        error_right_paren = 16,
        error_empty = 17,
        error_size = 18,
        error_complexity = 19,
        error_locale_dll = 20
    };
};

} // namespace tramex
