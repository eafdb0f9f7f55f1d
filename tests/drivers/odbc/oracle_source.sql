-- An ERP source on PostgreSQL that answers the way an Oracle schema does, for
-- the tests of the ODBC driver. Loaded by pg-cluster as the superuser.
--
-- What makes it look like Oracle:
--   * the database is named after the SID (ORCL) and the ERP schema is NORTIVA,
--     in upper case as Oracle spells owners; its tables are created without
--     quotes, so "select * from tVX_SysTables" finds them as Oracle would;
--   * the dictionary views all_tables, all_tab_columns, all_mviews and
--     dba_role_privs live in schema sys and report names in upper case and types
--     in Oracle's words (VARCHAR2, NUMBER, DATE, CLOB, BLOB);
--   * orafce's schema oracle gives NVL, dual and sysdate;
--   * the search path of every login is NORTIVA, sys, oracle, public.

create role "NORTIVA" login password 'nortiva';
create role "RVX_ADMIN_USER";
create role "RVX_SECURITY_USER";
create role "ANNA" login password 'anna' in role "RVX_ADMIN_USER", "RVX_SECURITY_USER";
create role "BORIS" login password 'boris' in role "RVX_ADMIN_USER";
create role "CLARA" login password 'clara';

create database "ORCL" owner "NORTIVA" encoding 'UTF8' template template0;
alter database "ORCL" set search_path = "NORTIVA", sys, oracle, public;
alter database "ORCL" set datestyle = 'ISO, YMD';

\connect ORCL

create extension orafce;
create schema "NORTIVA" authorization "NORTIVA";
create schema sys;
grant usage on schema sys to public;

-- Oracle's words for the PostgreSQL types the ERP tables use.
create function sys.oracle_type(t oid, typmod int) returns varchar
language sql immutable as $$
  select case
    when t = 'text'::regtype then 'CLOB'
    when t = 'varchar'::regtype then 'VARCHAR2'
    when t = 'bpchar'::regtype then 'CHAR'
    when t in ('numeric'::regtype, 'int2'::regtype, 'int4'::regtype, 'int8'::regtype) then 'NUMBER'
    when t in ('float4'::regtype, 'float8'::regtype) then 'FLOAT'
    when t = 'date'::regtype then 'DATE'
    when t = 'timestamp'::regtype and typmod = 0 then 'DATE'
    when t = 'timestamp'::regtype then 'TIMESTAMP(' || case when typmod < 0 then 6 else typmod end || ')'
    when t = 'bytea'::regtype then 'BLOB'
    else upper(format_type(t, typmod))
  end::varchar
$$;

create view sys.all_tables as
select n.nspname::varchar as owner,
       upper(c.relname)::varchar as table_name,
       case when c.reltuples < 0 then null else c.reltuples::numeric end as num_rows,
       case when c.relpersistence = 't' then 'Y' else 'N' end::varchar as temporary
  from pg_catalog.pg_class c
  join pg_catalog.pg_namespace n on n.oid = c.relnamespace
 -- A materialized view is also a table in Oracle's dictionary: its container.
 where c.relkind in ('r', 'p', 'm')
   and n.nspname not in ('pg_catalog', 'information_schema', 'sys', 'oracle')
   and n.nspname not like 'pg\_%';

create view sys.all_tab_columns as
select n.nspname::varchar as owner,
       upper(c.relname)::varchar as table_name,
       upper(a.attname)::varchar as column_name,
       sys.oracle_type(a.atttypid, a.atttypmod) as data_type,
       case when a.atttypid in ('varchar'::regtype, 'bpchar'::regtype) and a.atttypmod > 4
            then a.atttypmod - 4 else 0 end as char_length,
       case when a.atttypid = 'numeric'::regtype and a.atttypmod > 4 then ((a.atttypmod - 4) >> 16) & 65535
            when a.atttypid = 'int2'::regtype then 5
            when a.atttypid = 'int4'::regtype then 10
            when a.atttypid = 'int8'::regtype then 19
            when a.atttypid in ('float4'::regtype, 'float8'::regtype) then 126
       end as data_precision,
       case when a.atttypid = 'numeric'::regtype and a.atttypmod > 4 then (a.atttypmod - 4) & 65535
            when a.atttypid in ('int2'::regtype, 'int4'::regtype, 'int8'::regtype) then 0
       end as data_scale,
       case when a.attnotnull then 'N' else 'Y' end::varchar as nullable,
       a.attnum as column_id,
       -- Oracle keeps a default as it was written; PostgreSQL adds casts.
       regexp_replace(
         replace(replace(pg_catalog.pg_get_expr(d.adbin, d.adrelid), 'oracle.sysdate()', '(sysdate)'),
                 'sysdate()', '(sysdate)'),
         '::[a-z_ ]+(\([0-9, ]*\))?', '', 'g')::varchar as data_default
  from pg_catalog.pg_attribute a
  join pg_catalog.pg_class c on c.oid = a.attrelid
  join pg_catalog.pg_namespace n on n.oid = c.relnamespace
  left join pg_catalog.pg_attrdef d on d.adrelid = a.attrelid and d.adnum = a.attnum
 where a.attnum > 0 and not a.attisdropped
   and c.relkind in ('r', 'p', 'm', 'v')
   and n.nspname not in ('pg_catalog', 'information_schema', 'sys', 'oracle')
   and n.nspname not like 'pg\_%';

create view sys.all_mviews as
select schemaname::varchar as owner, upper(matviewname)::varchar as mview_name
  from pg_catalog.pg_matviews;

create view sys.dba_role_privs as
select m.rolname::varchar as grantee, r.rolname::varchar as granted_role,
       case when am.admin_option then 'YES' else 'NO' end::varchar as admin_option,
       'YES'::varchar as default_role
  from pg_catalog.pg_auth_members am
  join pg_catalog.pg_roles r on r.oid = am.roleid
  join pg_catalog.pg_roles m on m.oid = am.member;

grant select on all tables in schema sys to public;

set role "NORTIVA";
set search_path = "NORTIVA", sys, oracle, public;

-- The ERP's own dictionary and parameters.
create table tVX_SysParamSys (
  anBuildNo   numeric(10) not null,
  anRevision  numeric(10) not null
);
insert into tVX_SysParamSys values (5512, 3);

create table tVX_SysTables (
  acTableName varchar(30) not null primary key,
  acUserDef   char(1) default 'F' not null,
  acDescr     varchar(100)
);
insert into tVX_SysTables values
  ('tHE_SetItem', 'T', 'Items'),
  ('tHE_Move', 'T', 'Documents'),
  ('tHE_SetSubjContact', 'T', 'Contacts'),
  ('tVX_SysTables', 'T', 'Tables'),
  ('tVX_SysTableStr', 'F', 'Columns');

create table tVX_SysTableStr (
  acTableName varchar(30) not null,
  acFieldName varchar(30) not null,
  anSeqNo     numeric(5) not null,
  acUserDef   char(1) default 'F' not null,
  primary key (acTableName, acFieldName)
);
insert into tVX_SysTableStr values
  ('tHE_SetItem', 'acIdent', 1, 'T'),
  ('tHE_SetItem', 'acName', 2, 'T'),
  ('tHE_SetItem', 'anPrice', 3, 'T'),
  ('tHE_Move', 'acKey', 1, 'T'),
  ('tHE_Move', 'adDate', 2, 'T');

create table tVX_SysUpgradeTimeLog (
  anSeq     numeric(10) not null,
  adStart   timestamp(0) not null,
  acStep    varchar(60) default ' ' not null
);
insert into tVX_SysUpgradeTimeLog values (1, '2019-04-01 08:00:00', 'upgrade 5.4'), (2, '2021-11-30 17:45:10', 'upgrade 5.5');

create table tVX_SysConstraintErrLog (
  anOrder   numeric(10) not null,
  acText    varchar(2000)
);

-- Contacts: the ERP users whose logins the migration creates.
create table tHE_SetSubjContact (
  acSubject varchar(30) not null,
  acUserId  varchar(30) default ' ' not null,
  acActive  char(1) default 'T' not null,
  acName    varchar(60)
);
insert into tHE_SetSubjContact values
  ('ACME', 'ANNA', 'T', 'Anna Novak'),
  ('ACME', 'BORIS', 'T', 'Boris Horvat'),
  ('ACME', 'CLARA', 'F', 'Clara Kos'),
  ('ACME', ' ', 'T', 'Front desk');

-- Items: money, quantities and dates of every kind the copy meets.
create table tHE_SetItem (
  acIdent     varchar(16) not null primary key,
  acName      varchar(80) default ' ' not null,
  acUM        char(3),
  anPrice     numeric(19, 4) default 0 not null,
  anQty       numeric(15, 6),
  anVAT       numeric(5, 2),
  anWeight    float8,
  anPacking   numeric(3),
  adChanged   timestamp(0) default oracle.sysdate() not null,
  adTimeStamp timestamp(6),
  acNote      text,
  abPicture   bytea
);
insert into tHE_SetItem values
  ('100', 'Bolt M6  ', 'PCS', 0.1234, 1000, 22, 0.005, 100, '2020-01-15 10:30:00', '2020-01-15 10:30:00.123456', null, null),
  ('200', 'Grüner Tee — 100 g', 'BOX', 922337203685477.5807, 0.000001, 9.5, 1e300, -5, '1850-03-01 00:00:00', null, 'note', '\x00ff10'),
  ('300', ' ', null, -922337203685477.5808, null, null, null, 255, '2100-01-01 00:00:00', '2079-06-04 23:00:00', repeat('long text ', 10000), null);

create table tHE_Move (
  acKey       varchar(13) not null primary key,
  acDocType   char(4) not null,
  adDate      timestamp(0) not null,
  anValue     numeric(19, 4) default 0 not null,
  acIssuer    varchar(30)
);
insert into tHE_Move
select to_char(i, 'FM0000000000000'), '3000', timestamp '2022-01-01' + i * interval '1 hour',
       (i * 17 % 100000) / 100.0, 'ACME'
  from generate_series(1, 5000) i;

create table tVX_Reports (
  acReport varchar(30) not null primary key,
  acTitle  varchar(100)
);
insert into tVX_Reports values (' internal', 'hidden'), ('AAA', 'first'), ('Invoice', 'Invoice');

-- A materialized view: the dictionary lists its container among the tables.
create materialized view tHE_MoveSum as
select acDocType, count(*) as anCount from tHE_Move group by acDocType;

reset role;
analyze;
