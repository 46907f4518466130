select 'open;
still open;
