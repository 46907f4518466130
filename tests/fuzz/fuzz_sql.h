// Generated SQL for the entry points that take statement text (the
// translator and the stand-in's public calls): words of Oracle's dialect
// that the translator rewrites, the target's own table and column names,
// and now and then a stray byte.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

inline std::string fuzz_sql_generate(std::mt19937_64& rng, std::initializer_list<const char*> names,
                                     size_t most) {
    static const char* const dialect[] = {"select ",
                                          "* ",
                                          "from ",
                                          "where ",
                                          "= ",
                                          "'a''b' ",
                                          "|| ",
                                          "( ",
                                          ") ",
                                          ", ",
                                          "nvl(",
                                          "decode(",
                                          "sysdate ",
                                          "rownum ",
                                          "rowid ",
                                          "dual ",
                                          "insert into ",
                                          "values ",
                                          "update ",
                                          "set ",
                                          "delete ",
                                          ":b1 ",
                                          "for update ",
                                          "nowait ",
                                          "order by ",
                                          "group by ",
                                          "having ",
                                          "union ",
                                          "minus ",
                                          "create table ",
                                          "number(",
                                          "varchar2(",
                                          "drop ",
                                          "commit ",
                                          "savepoint s ",
                                          "rollback to s ",
                                          "q'[x]' ",
                                          "-- c\n",
                                          "/* c */ ",
                                          "(+) ",
                                          "to_date(",
                                          "to_char(",
                                          "substr(",
                                          "like ",
                                          "escape ",
                                          "; ",
                                          "\""};
    std::vector<const char*> pieces(std::begin(dialect), std::end(dialect));
    pieces.insert(pieces.end(), names);
    std::string s;
    const size_t n = rng() % most;
    for (size_t i = 0; i < n; i++) {
        if (rng() % 12 == 0)
            s += static_cast<char>(rng() % 256);
        else
            s += pieces[rng() % pieces.size()];
    }
    return s;
}
