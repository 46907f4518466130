REM a remark; with a semicolon
rem
/* block
   comment; */
-- line comment
select 3
  from dual;
remark_table_name;
