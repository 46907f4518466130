select Q'[a;b]' from dual;
select q'[a;b]' from dual;
select Q'[it's;
]' from dual;
select q'[it's;
]' from dual;
