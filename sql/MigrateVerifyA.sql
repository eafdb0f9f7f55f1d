select C.acTableName,
  case
    when T.object_id is null then 'MISSING'
    when C.acTableName in ('tVX_SysTables', 'tVX_SysTableStr', 'tVX_SysRef', 'tVX_SysIndex', 'tVX_Reports') then 'FILTERED'
    when isnull(P.anRows, 0) = C.anNumberOfRecords and isnull(K.anColumns, 0) = C.anTotalColunms then 'OK'
    else 'DIFFERENT'
  end as acStatus,
  C.anNumberOfRecords as anOracleRows,
  isnull(P.anRows, 0) as anTargetRows,
  C.anTotalColunms as anOracleColumns,
  isnull(K.anColumns, 0) as anTargetColumns
from dbo.tMG_TableCounts C
  left join sys.tables T on T.name = C.acTableName
  left join (select object_id, sum(rows) as anRows from sys.partitions where index_id in (0, 1) group by object_id) P
    on P.object_id = T.object_id
  left join (select object_id, count(*) as anColumns from sys.columns group by object_id) K
    on K.object_id = T.object_id
order by
  case
    when T.object_id is null then 0
    when C.acTableName in ('tVX_SysTables', 'tVX_SysTableStr', 'tVX_SysRef', 'tVX_SysIndex', 'tVX_Reports') then 2
    when isnull(P.anRows, 0) = C.anNumberOfRecords and isnull(K.anColumns, 0) = C.anTotalColunms then 3
    else 1
  end,
  C.acTableName
