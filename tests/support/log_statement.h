// The collections log statement of the collections window, line for line,
// as the reference that tests and benchmarks run against the databases.
#pragma once

#include <string>

namespace testdb {

inline constexpr const char* kLogStatement = R"SQL(select log_sameday_incasari.*,

       ch.data_doc as data_ch,
       ch.tip_doc  as tip_ch,
       ch.nr_doc   as nr_ch,
       ch.val_mon  as val_mon_ch,
       ch.moneda   as moneda_ch,
       ch.partener,

       doc_fin.data_doc_com as data_fact,
       doc_fin.tip_doc_com  as tip_fact,
       doc_fin.nr_doc_com   as nr_fact

from log_sameday_incasari left outer join doc as ch on log_sameday_incasari.data_awb = ch.data_doc
                                                   and ch.tip_doc = 'Ch_INC'
                                                   and right(log_sameday_incasari.awb, 15) = ch.nr_doc
                          left outer join (
                                           select distinct on (data_doc_fin,
                                                               tip_doc_fin,
                                                               nr_doc_fin
                                                              )
                                                  data_doc_fin,
                                                  tip_doc_fin,
                                                  nr_doc_fin,
                                                  data_doc_com,
                                                  tip_doc_com,
                                                  nr_doc_com
                                           from doc_fin
                                           order by data_doc_fin,
                                                    tip_doc_fin,
                                                    nr_doc_fin,
                                                    data_repartizare desc,
                                                    data_doc_com desc,
                                                    tip_doc_com,
                                                    nr_doc_com desc
                                          ) as doc_fin on ch.data_doc = doc_fin.data_doc_fin
                                                      and ch.tip_doc  = doc_fin.tip_doc_fin
                                                      and ch.nr_doc   = doc_fin.nr_doc_fin
where log_sameday_incasari.data_awb between :pDataIncep and current_date
order by data_awb,
         awb
;)SQL";

// The same statement with :pDataIncep written as libpq's $1.
inline const std::string& logStatementPositional() {
    static const std::string text = [] {
        std::string t = kLogStatement;
        t.replace(t.find(":pDataIncep"), 11, "$1");
        return t;
    }();
    return text;
}

}  // namespace testdb
