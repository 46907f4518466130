select 社員名 from 社員 where 部署 = '営業;部';
-- コメント;
update 社員 set 名前 = '吉野' ;
