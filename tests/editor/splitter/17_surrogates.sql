select '𠮷' from dual; -- 𠮷;
select "𠮷;" from dual
/
